// Runs of the built program in a directory of their own, as a host starts it.

#include <gtest/gtest.h>

#include "tests/support/fake_mapi_record.h"
#include "tests/support/program_run.h"

using namespace testing_support;

namespace {

// The three lines an error raised by the program leaves after the start.
Lines failedWith(const std::string& text)
{
    return {logStarted, " [MAIN:ERROR] Exception: " + text, " [MAIN:ERROR] Error: " + text};
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
    for (const std::string& argument :
         {std::string("missing.xml"), std::string("St\xC3\xB6rung \xE6\x9D\xB1\xE4\xBA\xAC.xml"), std::string(""),
          std::string("--Crash"), std::string(" --crash"), std::string("-crash"), std::string("--crash ")}) {
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
    EXPECT_EQ(result.log.front(), logStarted);
    EXPECT_EQ(result.rawLog.find("an old run"), std::string::npos);
}

TEST_F(RunTest, MailsThroughSimpleMapiWhenTheClientTakesIt)
{
    sandbox.addProvider(FAKE_MAPI_PATH);
    sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RECORD", sandbox.workFile("mapi.txt"));
    writeFile(sandbox.workFile("issue.xml"), validIssue);

    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{logStarted, " [MAIN:INFO] MAPI report sent", logFinished}));

    const std::string handed = readFile(sandbox.workFile("mapi.txt"));
    EXPECT_NE(handed.find("message.lpszSubject 15 Map \xC3\xBC & \"more\"\n"), std::string::npos) << handed;
    EXPECT_NE(handed.find("recip.lpszAddress 24 SMTP:support@example.com\n"), std::string::npos) << handed;
    EXPECT_NE(handed.find("file.lpszPathName 10 report.zip\n"), std::string::npos) << handed;
    // The issue file is only read.
    EXPECT_EQ(readFile(sandbox.workFile("issue.xml")), validIssue);
}

TEST_F(RunTest, HandsEveryNameAndTextOverIntactThroughEitherEntryPoint)
{
    // Outside ASCII and outside code page 1252, as the folder the suite runs in.
    const std::string issueFile = "St\xC3\xB6rung \xE6\x9D\xB1\xE4\xBA\xAC.xml";
    const std::string archive = sandbox.workFile("Bericht J\xC3\xB6s\xC3\xA9 \xE6\x9D\xB1\xE4\xBA\xAC.zip");
    const std::string subject = "Karte leer \xE2\x80\x93 M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC";
    const std::string body =
        "Gr\xC3\xBC\xC3\x9F" "e aus Z\xC3\xBCrich\n\xE6\x9D\xB1\xE4\xBA\xAC \xE2\x9C\x93 \xF0\x9F\x97\xBA";
    writeFile(archive, "PK");
    const std::string issue = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<IssueReport>"
                              "<MailAddress>support@example.com</MailAddress><Subject>" + subject + "</Subject>"
                              "<Body>" + body + "</Body><AttachZip>" + archive + "</AttachZip></IssueReport>\n";
    writeFile(sandbox.workFile(issueFile), issue);
    sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RECORD", sandbox.workFile("mapi.txt"));

    // The wide entry gets exact UTF-16, the narrow one the UTF-8 that is the
    // program's ANSI code page.
    for (const auto& [provider, entry] : {std::pair{FAKE_MAPI_PATH, "MAPISendMail"},
                                          std::pair{FAKE_MAPI_WIDE_PATH, "MAPISendMailW"}}) {
        sandbox.addProvider(provider);
        RunResult result = sandbox.run({issueFile});
        EXPECT_EQ(result.exitCode, 0) << result.rawLog;
        const FakeMapiRecord mail = parseFakeMapiRecord(readFile(sandbox.workFile("mapi.txt")));
        EXPECT_EQ(recordedField(mail, "entry"), entry);
        EXPECT_EQ(recordedField(mail, "message.lpszSubject"), subject) << entry;
        EXPECT_EQ(recordedField(mail, "message.lpszNoteText"), body) << entry;
        EXPECT_EQ(recordedField(mail, "file.lpszPathName"), archive) << entry;
        EXPECT_EQ(readFile(sandbox.workFile(issueFile)), issue);
    }
}

TEST_F(RunTest, ACancelledDialogIsNoFailure)
{
    sandbox.addProvider(FAKE_MAPI_PATH);
    sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RESULT", "1");
    writeFile(sandbox.workFile("issue.xml"), validIssue);

    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{logStarted, " [MAIN:INFO] MAPI report user abort", logFinished}));
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
