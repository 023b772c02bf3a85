// Runs that fall back to the mailto route, with a stand-in for the desktop's
// URL opener on PATH, and a file manager that is shown the archive.

#include <gtest/gtest.h>

#include <filesystem>

#include "delivery/mailto.h"
#include "tests/support/file_manager_bus.h"
#include "tests/support/program_run.h"

using namespace testing_support;

namespace {

class RunMailtoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeFile(sandbox.workFile("issue.xml"),
                  issueXml("support@example.com", "Blank map", "It&s\nblank", "C:\\My Dir\\report.zip"));
    }

    // An opener that keeps its arguments and ends with status, for a
    // folder with folderStatus.
    void addOpener(int status, int folderStatus = 0)
    {
        sandbox.addStandIn("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" + opened() + "\"\ncase $1 in mailto:*) exit "
                                           + std::to_string(status) + ";; esac\nexit " + std::to_string(folderStatus)
                                           + "\n");
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
    sandbox.addStandIn("xdg-mime", "#!/bin/sh\n");
    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{logStarted, logMailtoFallback, logFinished}));
    // Before the mail goes out, as the desktop names its mail client.
    EXPECT_EQ(result.mailClient, "none");
    EXPECT_EQ(splitLines(result.rawLog).at(1).substr(20), " [MAIN:INFO] Mail client offered by the desktop: none");
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
        EXPECT_EQ(result.log[2], logMailtoFallback);
        EXPECT_EQ(result.log[3], logFinished);
    }
    EXPECT_EQ(readFile(opened()), url + "\n" + url + "\n" + url + "\n" + url + "\n");
}

TEST_F(RunMailtoTest, ProviderWithoutEntryPointCountsAsNone)
{
    addOpener(0);
    sandbox.addProvider(FAKE_MAPI_WITHOUT_EXPORT_PATH);
    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{logStarted, logMailtoFallback, logFinished}));
}

TEST_F(RunMailtoTest, FailsWhenNeitherRouteTakesTheMail)
{
    const Lines expected{logStarted, logMailtoFallback,
                         " [MAIN:ERROR] Exception: Could not open mail client to report!", "",
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

namespace {

// The archive lies where a file: URI must escape its name.
const std::string folderName = "J\xC3\xB6s\xC3\xA9 M\xC3\xBCller, 100% #1";
using FileManager = FileManagerBus::FileManager;

class RunRevealTest : public RunMailtoTest {
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(std::filesystem::u8path(sandbox.workFile(folderName)));
        writeFile(archive(), "PK");
        writeFile(sandbox.workFile("issue.xml"), issueXml("a@b", "s", "", folderName + "/report.zip"));
    }

    std::string archive() const { return sandbox.workFile(folderName + "/report.zip"); }

    // What the opener was handed besides the mailto: URL, since it was last asked.
    Lines openedBesidesTheMail() const
    {
        Lines others;
        for (const std::string& line : splitLines(readFile(opened())))
            if (line.rfind("mailto:", 0) != 0)
                others.push_back(line);
        std::remove(opened().c_str());
        return others;
    }
};

void expectAskedToShow(const Lines& calls, const std::string& archive)
{
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], "ShowItems");
    const std::string encodedName = "/J%C3%B6s%C3%A9%20M%C3%BCller%2C%20100%25%20%231/report.zip";
    EXPECT_EQ(calls[1].substr(calls[1].size() - encodedName.size()), encodedName);
    EXPECT_EQ(percentDecoded(calls[1]), "uri=file://" + archive);
    EXPECT_EQ(calls[2], "startup-id=");
}

} // namespace

TEST_F(RunRevealTest, ShowsTheArchiveSelectedOrElseItsFolder)
{
    struct Row {
        FileManager fileManager;
        int folderStatus;
        bool asked;
        std::string why;  // empty: no line, as it was shown selected
    };
    const std::string folder = sandbox.workFile(folderName);
    const std::string opened = " [MAIN:INFO] Opened the folder of the archive " + folderName
                               + "/report.zip without selecting it: ";
    for (const Row& row : {
             Row{FileManager::Answering, 0, true, ""},
             Row{FileManager::None, 0, false,
                 opened + "no file manager took it (Error org.freedesktop.DBus.Error.ServiceUnknown: The name "
                          "org.freedesktop.FileManager1 was not provided by any .service files)"},
             Row{FileManager::Refusing, 0, true,
                 opened + "no file manager took it (Error org.freedesktop.DBus.Error.Failed: the stand-in refuses)"},
             Row{FileManager::Silent, 0, true,
                 opened + "no file manager took it (Error org.freedesktop.DBus.Error.NoReply: Did not receive a "
                          "reply. Possible causes include: the remote application did not send a reply, the message "
                          "bus security policy blocked the reply, the reply timeout expired, or the network "
                          "connection was broken.)"},
             Row{FileManager::NoBus, 0, false, opened + "there is no session bus"},
             Row{FileManager::NoBus, 4, false,
                 " [MAIN:INFO] Could not show the archive " + folderName + "/report.zip in a file manager: there is "
                     "no session bus; xdg-open could not open " + folder + " (status 4)"}}) {
        const FileManagerBus bus(row.fileManager);
        bus.serve(sandbox);
        addOpener(0, row.folderStatus);
        const RunResult result = sandbox.run({"issue.xml"});
        EXPECT_EQ(result.exitCode, 0) << row.why;
        const Lines expected = row.why.empty() ? Lines{logStarted, logMailtoFallback, logFinished}
                                               : Lines{logStarted, logMailtoFallback, row.why, logFinished};
        EXPECT_EQ(result.log, expected);
        if (row.asked)
            expectAskedToShow(bus.calls(), archive());
        else
            EXPECT_EQ(bus.calls(), Lines{}) << row.why;
        EXPECT_EQ(openedBesidesTheMail(), row.why.empty() ? Lines{} : Lines{folder}) << row.why;
    }
}

TEST_F(RunRevealTest, NeverWhenTheClientTookItOrThereIsNothingToShow)
{
    FileManagerBus bus(FileManager::Answering);
    bus.serve(sandbox);
    addOpener(0);
    struct Row {
        const char* reveal;
        std::string attachZip;
        const char* mapiResult;  // nullptr: no provider, so the mailto route
    };
    for (const Row& row : {Row{"0", folderName + "/report.zip", nullptr}, Row{"1", "", nullptr},
                           Row{"1", "missing/report.zip", nullptr}, Row{"1", folderName + "/report.zip", "0"},
                           Row{"1", folderName + "/report.zip", "1"}}) {
        sandbox.setEnvironment("PELLICOR_REVEAL_ARCHIVE", row.reveal);
        writeFile(sandbox.workFile("issue.xml"), issueXml("a@b", "s", "", row.attachZip));
        if (row.mapiResult != nullptr) {
            sandbox.addProvider(FAKE_MAPI_PATH);
            sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RESULT", row.mapiResult);
        }
        const RunResult result = sandbox.run({"issue.xml"});
        const std::string what = row.attachZip + ", MAPI " + (row.mapiResult ? row.mapiResult : "-");
        EXPECT_EQ(result.exitCode, 0) << what;
        EXPECT_EQ(result.log.size(), 3u) << what << "\n" << result.rawLog;
        EXPECT_EQ(bus.calls(), Lines{}) << what;
        EXPECT_EQ(openedBesidesTheMail(), Lines{}) << what;
    }
}

TEST_F(RunRevealTest, ShowsItWhenNeitherRouteTakesTheMailAndInCrashMode)
{
    FileManagerBus bus(FileManager::Answering);
    bus.serve(sandbox);
    addOpener(3);
    EXPECT_TRUE(isFailureStatus(sandbox.run({"issue.xml"}).exitCode));
    expectAskedToShow(bus.calls(), archive());

    addOpener(0);
    writeFile(sandbox.workFile("QXF-0.log"), "log");
    EXPECT_EQ(sandbox.run({"--crash"}).exitCode, 0);
    EXPECT_EQ(percentDecoded(bus.calls().at(4)), "uri=file://" + sandbox.workFile("report.zip"));

    std::remove(sandbox.workFile("QXF-0.log").c_str());
    EXPECT_EQ(sandbox.run({"--crash"}).exitCode, 0);
    EXPECT_EQ(bus.calls().size(), 6u);
}
