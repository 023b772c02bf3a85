// Whole runs of the program with something broken around it: what the user
// sees (exit status, the log's last line) and what survives byte for byte.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/faults/scratch_mount.h"
#include "tests/support/background_process.h"
#include "tests/support/fake_mapi_record.h"
#include "tests/support/mail_handler_desktop.h"
#include "tests/support/program_run.h"
#include "tests/support/zip_reader.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

const std::string issue = issueXml("support@example.com", "Blank map");
const std::string configuration =
    "<ORVAPlus><Internet><SupportEmail>support@example.com</SupportEmail></Internet></ORVAPlus>";

class RunFaults : public ::testing::Test {
protected:
    // The fake provider records its call outside whatever work directory a test chooses.
    void useFakeProvider()
    {
        sandbox.addProvider(FAKE_MAPI_PATH);
        sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RECORD", record.file("mapi.txt"));
    }
    FakeMapiRecord handed() const { return parseFakeMapiRecord(readFile(record.file("mapi.txt"))); }

    // A report run with a stand-in of name first on PATH that never ends on
    // its own; it is ended once the run is over.
    RunResult runWithNeverEnding(const std::string& name)
    {
        const std::string pidFile = record.file(name + ".pid");
        sandbox.addStandIn(name, "#!/bin/sh\necho $$ > '" + pidFile + "'\nexec sleep 600\n");
        writeFile(sandbox.workFile("issue.xml"), issue);
        RunResult result = sandbox.run({"issue.xml"});
        const std::string pid = readFile(pidFile);
        EXPECT_FALSE(pid.empty()) << name << " never ran";
        if (!pid.empty())
            ::kill(static_cast<pid_t>(std::stol(pid)), SIGKILL);
        return result;
    }

    ProgramSandbox sandbox;
    TempDir record;
};

} // namespace

TEST_F(RunFaults, WithoutAWritableLogTheMailStillGoesAndStderrSaysWhy)
{
    useFakeProvider();
    writeFile(sandbox.workFile("issue.xml"), issue);
    fs::create_directory(sandbox.workFile("Pellicor.log"));

    RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(result.log.empty());
    EXPECT_EQ(recordedField(handed(), "message.lpszSubject"), "Blank map");
    EXPECT_EQ(splitLines(result.standardError),
              Lines{"Pellicor: cannot write Pellicor.log in " + sandbox.workDir()
                    + ": Is a directory; running without a log"});
    EXPECT_TRUE(fs::is_empty(sandbox.workFile("Pellicor.log")));
    EXPECT_EQ(readFile(sandbox.workFile("issue.xml")), issue);

    // A failed run ends with its usual status, and says the same.
    RunResult failed = sandbox.run({"missing.xml"});
    EXPECT_TRUE(isFailureStatus(failed.exitCode));
    EXPECT_EQ(splitLines(failed.standardError).size(), 1u);
}

TEST_F(RunFaults, InAReadOnlyDirectoryACrashReportStillGoesOut)
{
    useFakeProvider();
    const std::string work = sandbox.workFile("read-only");
    fs::create_directory(work);
    ScratchMount disk(work, 1 << 20);
    if (!disk.mounted())
        GTEST_SKIP() << disk.reason();
    writeFile(work + "/ORVAPlus.xml", configuration);
    writeFile(work + "/QXF-0.log", "log");
    if (!disk.makeReadOnly())
        GTEST_SKIP() << disk.reason();
    sandbox.setWorkDir(work);

    RunResult result = sandbox.run({"--crash"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(recordedField(handed(), "recip.lpszName"), "support@example.com");
    EXPECT_EQ(splitLines(result.standardError),
              Lines{"Pellicor: cannot write Pellicor.log in " + work + ": Read-only file system; running without a log"});
    EXPECT_EQ(filesIn(work), (Lines{"ORVAPlus.xml", "QXF-0.log"}));
    EXPECT_EQ(readFile(work + "/ORVAPlus.xml"), configuration);
}

TEST_F(RunFaults, AProviderThatCrashesLeavesTheLogSoFarAndEveryFileWhole)
{
    useFakeProvider();
    sandbox.setEnvironment("PELLICOR_FAKE_MAPI_CRASH", "1");
    writeFile(sandbox.workFile("issue.xml"), issue);
    RunResult report = sandbox.run({"issue.xml"});
    EXPECT_EQ(report.exitCode, 128 + SIGABRT);
    EXPECT_EQ(report.log, Lines{logStarted});
    EXPECT_EQ(readFile(sandbox.workFile("issue.xml")), issue);

    writeFile(sandbox.workFile("ORVAPlus.xml"), configuration);
    writeFile(sandbox.workFile("QXF-0.log"), "log");
    RunResult crash = sandbox.run({"--crash"});
    EXPECT_EQ(crash.exitCode, 128 + SIGABRT);
    ASSERT_FALSE(crash.log.empty());
    EXPECT_EQ(crash.log.back(), " [MAIN:INFO] File QXF-prev.minidump.dmp not found, not adding to "
                                    + sandbox.workFile("report.zip"));
    EXPECT_EQ(zipEntries(sandbox.workFile("report.zip")), (ZipEntries{{"QXF-0.log", "log"}}));
    EXPECT_EQ(readFile(sandbox.workFile("ORVAPlus.xml")), configuration);
}

TEST_F(RunFaults, OurProviderWaitsForAMailClientThatNeverEndsTenSecondsAtMost)
{
    sandbox.addProvider(XDG_MAPI_PATH);
    MailHandlerDesktop desktop(record.file("desktop"));
    desktop.setHandler("thunderbird.desktop", sandbox.standInDir() + "/thunderbird %u");
    for (const auto& [name, value] : desktop.environment())
        sandbox.setEnvironment(name, value);
    RunResult result = runWithNeverEnding("thunderbird");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{logStarted, " [MAIN:INFO] MAPI report sent", logFinished}));
}

TEST_F(RunFaults, AnXdgOpenThatNeverEndsHoldsTheRunTenSecondsAtMost)
{
    RunResult result = runWithNeverEnding("xdg-open");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{logStarted, logMailtoFallback, logFinished}));
}

// The disk fills in the middle of an entry: a stored one, or one deflated
// on four threads while libzip writes it.
TEST_F(RunFaults, ADiskThatFillsWhileArchivingKeepsWhatWasPackedBefore)
{
    useFakeProvider();
    sandbox.setEnvironment("PELLICOR_ARCHIVE_THREADS", "4");
    // Each needs more room than the disk has left once the dump is on it.
    const std::pair<const char*, std::string> dumps[] = {{"incompressible", randomBytes(600 * 1024, 7)},
                                                         {"deflated", halfEntropyText(5 << 19, 5)}};
    for (const auto& [kind, dump] : dumps) {
        const std::string work = sandbox.workFile(std::string("small-disk-") + kind);
        fs::create_directory(work);
        ScratchMount disk(work, kind == dumps[0].first ? 1 << 20 : 7 << 19);
        if (!disk.mounted())
            GTEST_SKIP() << disk.reason();
        sandbox.setWorkDir(work);
        writeFile(work + "/QXF-0.log", "log");
        writeFile(work + "/QXF-minidump.dmp", dump);
        writeFile(work + "/QXF-prev.minidump.dmp", "small enough");

        RunResult result = sandbox.run({"--crash"});
        EXPECT_EQ(result.exitCode, 0) << kind;
        ASSERT_FALSE(result.log.empty()) << kind;
        EXPECT_EQ(result.log.back(), logFinished) << kind;
        EXPECT_NE(std::find(result.log.begin(), result.log.end(),
                            " [MAIN:ERROR] zip_close failed on " + work + "/report.zip"),
                  result.log.end())
            << result.rawLog;
        // The file after the failed one still goes in.
        EXPECT_EQ(zipEntries(work + "/report.zip"),
                  (ZipEntries{{"QXF-0.log", "log"}, {"QXF-prev.minidump.dmp", "small enough"}}))
            << kind;
        EXPECT_TRUE(readFile(work + "/QXF-minidump.dmp") == dump) << kind;
        EXPECT_EQ(filesIn(work),
                  (Lines{"Pellicor.log", "QXF-0.log", "QXF-minidump.dmp", "QXF-prev.minidump.dmp", "report.zip"}))
            << kind;
    }
}

TEST_F(RunFaults, ADiagnosticFifoIsSkippedWithoutAWait)
{
    useFakeProvider();
    ASSERT_EQ(::mkfifo(sandbox.workFile("QXF-0.log").c_str(), 0600), 0);
    writeFile(sandbox.workFile("QXF-1.log"), "second");

    RunResult result = sandbox.run({"--crash"});
    if (!result.started) {
        // Let the stuck run go, so it does not outlive the test holding its output.
        const int writer = ::open(sandbox.workFile("QXF-0.log").c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        FAIL() << "the run waited for a writer to the FIFO";
    }
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(zipEntries(sandbox.workFile("report.zip")), (ZipEntries{{"QXF-1.log", "second"}}));
    EXPECT_NE(std::find(result.log.begin(), result.log.end(),
                        " [MAIN:INFO] File QXF-0.log not found, not adding to " + sandbox.workFile("report.zip")),
              result.log.end())
        << result.rawLog;
}

TEST_F(RunFaults, SigtermWhileTheArchiveIsWrittenLeavesNoHalfWrittenFile)
{
    useFakeProvider();
    // Deflated on four threads, which must hold back the signal as well.
    sandbox.setEnvironment("PELLICOR_ARCHIVE_THREADS", "4");
    // Long enough to be caught while written, and so more than the mail limit.
    sandbox.setEnvironment("PELLICOR_ARCHIVE_LIMIT_MB", "0");
    const std::string dump = halfEntropyText(32 << 20, 5);
    writeFile(sandbox.workFile("QXF-minidump.dmp"), dump);

    // Watch for libzip's temporary file, which exists only while it writes.
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, sandbox.workDir().c_str(), IN_CREATE), 0);

    const platform::ProcessOptions options = sandbox.processOptions();
    const std::vector<std::string> argv = sandbox.commandLine({"--crash"});
    const std::vector<char*> args = cStrings(argv), env = cStrings(options.environment);
    ScopedCurrentDirectory cwd(sandbox.workDir());
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), env.data()), 0);

    bool writing = false;
    char buffer[4096] __attribute__((aligned(__alignof__(struct inotify_event))));
    pollfd ready{watch, POLLIN, 0};
    while (!writing && ::poll(&ready, 1, 60000) == 1) {
        const ssize_t n = ::read(watch, buffer, sizeof buffer);
        for (ssize_t at = 0; n > 0 && at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            writing = writing || (event->len > 0 && std::string(event->name).rfind("report.zip.", 0) == 0);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::close(watch);
    ASSERT_TRUE(writing) << "the archive was never written";

    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    RunResult result;
    sandbox.readLog(result);
    ASSERT_FALSE(result.log.empty());
    EXPECT_EQ(result.log.back(), " [MAIN:INFO] Adding QXF-minidump.dmp to " + sandbox.workFile("report.zip"));
    EXPECT_EQ(filesIn(sandbox.workDir()), (Lines{"Pellicor.log", "QXF-minidump.dmp", "report.zip"}));
    EXPECT_TRUE(zipEntries(sandbox.workFile("report.zip")) == (ZipEntries{{"QXF-minidump.dmp", dump}}));
}
