// Runs of the built program in a directory of their own, as a host starts it.

#include <gtest/gtest.h>

#include "tests/support/program_run.h"

using namespace testing_support;
using Lines = std::vector<std::string>;

namespace {

const std::string started = " [MAIN:INFO] Pellicor started.";
const std::string finished = " [MAIN:INFO] Pellicor finished.";

// The three lines an error raised by the program leaves after the start.
Lines failedWith(const std::string& text)
{
    return {started, " [MAIN:ERROR] Exception: " + text, " [MAIN:ERROR] Error: " + text};
}

const char* const validIssue =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<IssueReport>\n"
    "  <MailAddress>support@example.com</MailAddress>\n"
    "  <Subject>Map \xC3\xBC &amp; \"more\"</Subject>\n"
    "  <Body>Line one\nLine two</Body>\n"
    "  <AttachZip>report.zip</AttachZip>\n"
    "</IssueReport>\n";

class RunTest : public ::testing::Test {
protected:
    ProgramSandbox sandbox;
};

} // namespace

TEST_F(RunTest, RefusesAnythingButOneArgument)
{
    const std::string text = "Expecting one argument containing report xml file name.";
    for (const Lines& arguments : {Lines{}, Lines{"a.xml", "b.xml"}}) {
        RunResult result = sandbox.run(arguments);
        ASSERT_TRUE(result.started);
        EXPECT_TRUE(isFailureStatus(result.exitCode)) << result.exitCode;
        // No line end after the text: the file ends with it.
        EXPECT_EQ(result.log, failedWith(text));
        EXPECT_EQ(result.rawLog.substr(result.rawLog.size() - text.size() - 1), " " + text);
    }
}

TEST_F(RunTest, EndsOnAFileItCannotParse)
{
    for (const std::string& argument : {std::string("missing.xml"), std::string(""), std::string("--Crash"),
                                        std::string(" --crash"), std::string("-crash"), std::string("--crash ")}) {
        RunResult result = sandbox.run({argument});
        EXPECT_TRUE(isFailureStatus(result.exitCode)) << argument;
        EXPECT_EQ(result.log, failedWith("Failed to parse issue confix XML" + argument)) << argument;
    }
}

TEST_F(RunTest, EndsOnAFileThatIsNoIssueReport)
{
    writeFile(sandbox.workFile("wrong-root.xml"), "<Report><MailAddress>a</MailAddress><Subject>s</Subject></Report>");
    RunResult result = sandbox.run({"wrong-root.xml"});
    EXPECT_TRUE(isFailureStatus(result.exitCode));
    EXPECT_EQ(result.log, failedWith("Invalid issue config XML root element."));

    writeFile(sandbox.workFile("no-subject.xml"), "<IssueReport><MailAddress>a</MailAddress></IssueReport>");
    result = sandbox.run({"no-subject.xml"});
    EXPECT_TRUE(isFailureStatus(result.exitCode));
    EXPECT_EQ(result.log, failedWith("Issue config XML is not valid."));
}

TEST_F(RunTest, EmptiesTheLogOfTheRunBefore)
{
    writeFile(sandbox.workFile("Pellicor.log"), "an old run\n");
    RunResult result = sandbox.run({});
    EXPECT_EQ(result.log.front(), started);
    EXPECT_EQ(result.rawLog.find("an old run"), std::string::npos);
}

TEST_F(RunTest, MailsThroughSimpleMapiWhenTheClientTakesIt)
{
    sandbox.addProvider(FAKE_MAPI_PATH);
    sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RECORD", sandbox.workFile("mapi.txt"));
    writeFile(sandbox.workFile("issue.xml"), validIssue);

    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{started, " [MAIN:INFO] MAPI report sent", finished}));

    const std::string handed = readFile(sandbox.workFile("mapi.txt"));
    EXPECT_NE(handed.find("message.lpszSubject 15 Map \xC3\xBC & \"more\"\n"), std::string::npos) << handed;
    EXPECT_NE(handed.find("recip.lpszAddress 24 SMTP:support@example.com\n"), std::string::npos) << handed;
    EXPECT_NE(handed.find("file.lpszPathName 10 report.zip\n"), std::string::npos) << handed;
    // The issue file is only read.
    EXPECT_EQ(readFile(sandbox.workFile("issue.xml")), validIssue);
}

TEST_F(RunTest, ACancelledDialogIsNoFailure)
{
    sandbox.addProvider(FAKE_MAPI_PATH);
    sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RESULT", "1");
    writeFile(sandbox.workFile("issue.xml"), validIssue);

    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{started, " [MAIN:INFO] MAPI report user abort", finished}));
}

TEST_F(RunTest, LoadsNoProviderForABadRequest)
{
    // A provider that would record its call; a bad request never gets there.
    sandbox.addProvider(FAKE_MAPI_PATH);
    sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RECORD", sandbox.workFile("mapi.txt"));
    writeFile(sandbox.workFile("issue.xml"), "<IssueReport><Subject>s</Subject></IssueReport>");
    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_TRUE(isFailureStatus(result.exitCode));
    EXPECT_FALSE(fileExists(sandbox.workFile("mapi.txt")));
}
