// Runs that fall back to the mailto route, with a stand-in for the desktop's
// URL opener on PATH, and a file manager that is shown the archive.

#include <gtest/gtest.h>

#include <filesystem>

#include "delivery/mailto.h"
#include "tests/support/file_manager_bus.h"
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

TEST_F(RunMailtoTest, NamesTheDesktopsMailClientBeforeTheMailGoesOut)
{
    addOpener(0);
    sandbox.addStandIn("xdg-mime", "#!/bin/sh\nexit 0\n");
    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.mailClient, "none");
    const Lines raw = splitLines(result.rawLog);
    ASSERT_EQ(raw.size(), 4u) << result.rawLog;
    EXPECT_EQ(raw[1].substr(20), " [MAIN:INFO] Mail client offered by the desktop: none");
}

namespace {

// The archive lies where it must be written out in a file: URI.
const std::string folderName = "J\xC3\xB6s\xC3\xA9 M\xC3\xBCller, 100% #1";
const std::string folderInUri = "/J%C3%B6s%C3%A9%20M%C3%BCller%2C%20100%25%20%231";

class RunRevealTest : public RunMailtoTest {
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(std::filesystem::u8path(folder()));
        writeFile(archive(), "PK");
        writeIssue(folderName + "/report.zip");
    }

    void writeIssue(const std::string& attachZip)
    {
        writeFile(sandbox.workFile("issue.xml"),
                  "<IssueReport><MailAddress>support@example.com</MailAddress><Subject>Blank map</Subject>"
                  "<Body>blank</Body><AttachZip>" + attachZip + "</AttachZip></IssueReport>");
    }

    void withoutBus()
    {
        sandbox.setEnvironment("PELLICOR_REVEAL_ARCHIVE", "1");
        sandbox.setEnvironment("DBUS_SESSION_BUS_ADDRESS", "");
        sandbox.setEnvironment("XDG_RUNTIME_DIR", sandbox.workDir());
    }

    std::string folder() const { return sandbox.workFile(folderName); }
    std::string archive() const { return folder() + "/report.zip"; }
    Lines openedLines() const { return splitLines(readFile(opened())); }
};

} // namespace

TEST_F(RunRevealTest, HandsTheFileManagerTheArchivesUri)
{
    FileManagerBus bus(FileManagerBus::FileManager::Answering);
    bus.serve(sandbox);
    addOpener(0);
    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{started, fallback, finished}));
    const Lines calls = bus.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], "ShowItems");
    const std::string uri = calls[1].substr(4);
    EXPECT_EQ(uri.rfind("file:///", 0), 0u) << uri;
    EXPECT_EQ(uri.substr(uri.size() - folderInUri.size() - 11), folderInUri + "/report.zip") << uri;
    EXPECT_EQ(percentDecoded(uri.substr(7)), archive());
    EXPECT_EQ(calls[2], "startup-id=");
    // The folder is not opened a second time.
    EXPECT_EQ(openedLines().size(), 1u);
}

TEST_F(RunRevealTest, OpensTheFolderWhenNoFileManagerTakesIt)
{
    addOpener(0);
    for (auto fileManager : {FileManagerBus::FileManager::None, FileManagerBus::FileManager::Refusing,
                             FileManagerBus::FileManager::Silent}) {
        FileManagerBus bus(fileManager);
        bus.serve(sandbox);
        RunResult result = sandbox.run({"issue.xml"});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.log, (Lines{started, fallback, finished})) << static_cast<int>(fileManager);
        EXPECT_EQ(openedLines().at(1), folder());
        std::remove(opened().c_str());
    }

    withoutBus();
    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.log, (Lines{started, fallback, finished}));
    EXPECT_EQ(openedLines().at(1), folder());
}

TEST_F(RunRevealTest, SaysInOneLineThatNothingCouldShowIt)
{
    withoutBus();
    addOpener(0, 4);
    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{started, fallback,
                                 " [MAIN:INFO] Could not show the archive " + folderName
                                     + "/report.zip in a file manager: there is no session bus; xdg-open could not "
                                       "open " + folder() + " (status 4)",
                                 finished}));
}

TEST_F(RunRevealTest, ShowsItWhenNeitherRouteTakesTheMail)
{
    FileManagerBus bus(FileManagerBus::FileManager::Answering);
    bus.serve(sandbox);
    addOpener(3);
    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_TRUE(isFailureStatus(result.exitCode));
    EXPECT_EQ(result.log.at(2), " [MAIN:ERROR] Exception: Could not open mail client to report!");
    EXPECT_EQ(bus.calls().size(), 3u);
}

TEST_F(RunRevealTest, NeverWhenTheClientTookItOrThereIsNothingToShow)
{
    FileManagerBus bus(FileManagerBus::FileManager::Answering);
    addOpener(0);
    struct Row {
        const char* why;
        const char* reveal;
        std::string attachZip;
        const char* mapiResult;  // nullptr: no provider, so the mailto route
    };
    for (const Row& row : {Row{"reveal switched off", "0", folderName + "/report.zip", nullptr},
                           Row{"no archive named", "1", "", nullptr},
                           Row{"the archive is missing", "1", "missing/report.zip", nullptr},
                           Row{"MAPI sent it", "1", folderName + "/report.zip", "0"},
                           Row{"the user cancelled the MAPI dialog", "1", folderName + "/report.zip", "1"}}) {
        bus.serve(sandbox);
        sandbox.setEnvironment("PELLICOR_REVEAL_ARCHIVE", row.reveal);
        writeIssue(row.attachZip);
        if (row.mapiResult != nullptr) {
            sandbox.addProvider(FAKE_MAPI_PATH);
            sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RESULT", row.mapiResult);
        }
        RunResult result = sandbox.run({"issue.xml"});
        EXPECT_EQ(result.exitCode, 0) << row.why;
        EXPECT_EQ(result.log.size(), 3u) << row.why << "\n" << result.rawLog;
        EXPECT_EQ(bus.calls(), Lines{}) << row.why;
        for (const std::string& line : openedLines())
            EXPECT_EQ(line.rfind("mailto:", 0), 0u) << row.why << ": " << line;
    }
}

TEST_F(RunRevealTest, ShowsTheCrashArchive)
{
    FileManagerBus bus(FileManagerBus::FileManager::Answering);
    bus.serve(sandbox);
    addOpener(0);
    writeFile(sandbox.workFile("QXF-0.log"), "current log\n");
    RunResult result = sandbox.run({"--crash"});
    EXPECT_EQ(result.exitCode, 0);
    const Lines calls = bus.calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(percentDecoded(calls[1].substr(11)), sandbox.workFile("report.zip"));

    // Nothing to pack, so no archive to show.
    std::remove(sandbox.workFile("QXF-0.log").c_str());
    result = sandbox.run({"--crash"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(bus.calls().size(), 3u);
}
