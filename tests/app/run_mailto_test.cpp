// Runs that fall back to the mailto route, with a stand-in for the desktop's
// URL opener on PATH.

#include <gtest/gtest.h>

#include "delivery/mailto.h"
#include "tests/support/program_run.h"

using namespace testing_support;
using Lines = std::vector<std::string>;

namespace {

const std::string started = " [MAIN:INFO] Pellicor started.";
const std::string finished = " [MAIN:INFO] Pellicor finished.";
const std::string fallback = " [MAIN:WARN] MAPI error report failed. Trying mailto.";

class RunMailtoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeFile(sandbox.workFile("issue.xml"),
                  "<IssueReport><MailAddress>support@example.com</MailAddress><Subject>Blank map</Subject>"
                  "<Body>It&amp;s\nblank</Body><AttachZip>C:\\My Dir\\report.zip</AttachZip></IssueReport>");
    }

    // An opener that keeps its arguments and ends with status.
    void addOpener(int status)
    {
        sandbox.addStandIn("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" + opened() + "\"\nexit "
                                           + std::to_string(status) + "\n");
    }

    std::string opened() const { return sandbox.workFile("opened.txt"); }

    ProgramSandbox sandbox;
    const std::string url = "mailto:support@example.com?subject=Blank%20map&body=Please%2C%20attach%20the%20file%20C:%5CMy"
                            "%20Dir%5Creport.zip%0D%0AIt%26s%0D%0Ablank";
};

} // namespace

TEST_F(RunMailtoTest, OpensOneUrlWhenThereIsNoProvider)
{
    addOpener(0);
    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{started, fallback, finished}));
    EXPECT_EQ(readFile(opened()), url + "\n");
}

TEST_F(RunMailtoTest, FallsBackWhenTheProviderFails)
{
    addOpener(0);
    sandbox.addProvider(FAKE_MAPI_PATH);
    for (const char* code : {"2", "3", "11", "4294967295"}) {
        sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RESULT", code);
        RunResult result = sandbox.run({"issue.xml"});
        EXPECT_EQ(result.exitCode, 0) << code;
        ASSERT_EQ(result.log.size(), 4u) << code;
        EXPECT_EQ(result.log[2], fallback);
        EXPECT_EQ(result.log[3], finished);
    }
    EXPECT_EQ(readFile(opened()), url + "\n" + url + "\n" + url + "\n" + url + "\n");
}

TEST_F(RunMailtoTest, ProviderWithoutEntryPointCountsAsNone)
{
    addOpener(0);
    sandbox.addProvider(FAKE_MAPI_WITHOUT_EXPORT_PATH);
    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{started, fallback, finished}));
}

TEST_F(RunMailtoTest, FailsWhenNeitherRouteTakesTheMail)
{
    const std::string text = "Could not open mail client to report!\n";
    const Lines expected{started, fallback, " [MAIN:ERROR] Exception: Could not open mail client to report!", "",
                         " [MAIN:ERROR] Error: Could not open mail client to report!"};

    addOpener(3);
    RunResult refused = sandbox.run({"issue.xml"});
    EXPECT_TRUE(isFailureStatus(refused.exitCode));
    EXPECT_EQ(refused.log, expected);

    // No opener on PATH at all.
    sandbox.setEnvironment("PATH", sandbox.standInDir() + "/none");
    RunResult missing = sandbox.run({"issue.xml"});
    EXPECT_TRUE(isFailureStatus(missing.exitCode));
    EXPECT_EQ(missing.log, expected);
}

TEST_F(RunMailtoTest, CrashReportAsksForTheArchiveByHand)
{
    addOpener(0);
    RunResult result = sandbox.run({"--crash"});
    EXPECT_EQ(result.exitCode, 0);
    const std::string url = readFile(opened());
    const std::string archive = escapeMailtoUrl(sandbox.workFile("report.zip"));
    EXPECT_EQ(url.rfind("mailto:?subject=QXF%20feedback:%20Issue%20Report%20from%20user%20with%20license%20None"
                        "&body=Please%2C%20attach%20the%20file%20"
                            + archive + "%0D%0APlease%2C%20describe%20the%20issue%20here%2C%20thank%20you.%0D%0A",
                        0),
              0u)
        << url;
    EXPECT_FALSE(fileExists(sandbox.workFile("ORVAPlus.xml")));
}
