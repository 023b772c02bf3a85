// Runs with the Linux Simple MAPI provider beside the program, the real
// xdg-mime and xdg-open, and a recording stand-in as the desktop's mailto:
// handler: what the user's mail client, or web browser, is handed.

#include <gtest/gtest.h>

#include "tests/support/file_manager_bus.h"
#include "tests/support/mail_handler_desktop.h"
#include "tests/support/program_run.h"

using namespace testing_support;

namespace {

class RunXdgProviderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sandbox.addProvider(XDG_MAPI_PATH);
        for (const auto& [name, value] : desktop.environment())
            sandbox.setEnvironment(name, value);
        writeFile(sandbox.workFile("report.zip"), "PK zipped");
        writeFile(sandbox.workFile("issue.xml"),
                  issueXml("support@example.com", "Blank map", "It&s blank", "report.zip"));
    }

    ProgramSandbox sandbox;
    TempDir tree{TempDir::Name::Ascii};
    MailHandlerDesktop desktop{tree.path()};
};

} // namespace

TEST_F(RunXdgProviderTest, TheMailClientGetsTheArchiveAsLogZip)
{
    desktop.setHandler("thunderbird.desktop", "thunderbird %u");
    desktop.addRecordingProgram("thunderbird");

    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log.at(1), " [MAIN:INFO] MAPI report sent");
    EXPECT_EQ(result.mailClient, "thunderbird.desktop");
    const Lines args = desktop.recordedArguments();
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0], "-compose");
    const std::string field = "attachment=file://";
    const auto at = args[1].find(field);
    ASSERT_NE(at, std::string::npos) << args[1];
    // Thunderbird decodes the list, then the file: URI in it.
    const std::string attachment = percentDecoded(percentDecoded(args[1].substr(at + field.size())));
    EXPECT_EQ(attachment.substr(attachment.size() - 8), "/log.zip");
    EXPECT_EQ(readFile(attachment), "PK zipped");
}

// Webmail would drop the archive, and the path of a copy would go to a web
// site: the browser gets the mailto: route's URL, which asks for the file.
TEST_F(RunXdgProviderTest, AWebBrowserGetsTheMailtoUrlThatAsksForTheArchive)
{
    desktop.setHandler("firefox-esr.desktop", "firefox-esr %u", "Firefox ESR");
    desktop.addRecordingProgram("firefox-esr");

    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{logStarted, " [MAIN:ERROR] MAPI report sendMail failed with error 26",
                                 logMailtoFallback, logFinished}));
    EXPECT_EQ(result.mailClient, "firefox-esr.desktop");
    const Lines args = desktop.recordedArguments();
    ASSERT_EQ(args.size(), 1u);
    EXPECT_EQ(args[0].rfind("mailto:support@example.com?subject=Blank", 0), 0u) << args[0];
    EXPECT_NE(args[0].find("attach%20the%20file%20report.zip"), std::string::npos) << args[0];
    EXPECT_EQ(args[0].find("outbox"), std::string::npos) << args[0];
    EXPECT_EQ(args[0].find("attach="), std::string::npos) << args[0];
}
