// The diagnostic archive when a file goes away while it is packed, or cannot
// be read at all.

#include <filesystem>
#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "delivery/report_archive.h"
#include "pellicor/logging.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

using namespace testing_support;

namespace {

// Runs an action when a given line is logged: the line "Adding FILE to
// ARCHIVE" comes between the check that the file is there and its packing.
class OnLogLine : public Logger::IWriter {
public:
    static OnLogLine& instance()
    {
        static OnLogLine* writer = [] {
            auto* w = new OnLogLine;
            Logger::getInstance()->addWriter(w);
            return w;
        }();
        return *writer;
    }
    void write(Logger&, const std::string& message, int, int) override
    {
        if (action && message.rfind(prefix, 0) == 0)
            action();
    }
    std::string prefix;
    std::function<void()> action;
};

} // namespace

TEST(ArchiveFaults, AFileDeletedBetweenTheCheckAndTheAddIsPackedAsItWasChecked)
{
    TempDir dir;
    ScopedCurrentDirectory cwd(dir.path());
    writeFile("QXF-0.log", "first");
    writeFile("QXF-1.log", "second, deleted while it is packed");
    writeFile("QXF-2.log", "third");
    OnLogLine& hook = OnLogLine::instance();
    hook.prefix = "Adding QXF-1.log to ";
    hook.action = [] { std::filesystem::remove("QXF-1.log"); };

    buildReportArchive(dir.file("report.zip"));
    hook.action = nullptr;

    EXPECT_FALSE(testing_support::fileExists("QXF-1.log"));
    EXPECT_EQ(zipEntries(dir.file("report.zip")), (ZipEntries{{"QXF-0.log", "first"},
                                                              {"QXF-1.log", "second, deleted while it is packed"},
                                                              {"QXF-2.log", "third"}}));
}

// Root reads whatever it likes, so a file that cannot be read needs a user
// the file's mode keeps out: the archive is built in a child running as one.
TEST(ArchiveFaults, AFileThatCannotBeReadCostsOnlyItself)
{
    TempDir dir;
    ScopedCurrentDirectory cwd(dir.path());
    writeFile("QXF-0.log", "first");
    writeFile("QXF-1.log", "kept from the user who runs the report");
    writeFile("QXF-2.log", "third");
    ASSERT_EQ(::chmod("QXF-1.log", 0), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);

    OnLogLine& hook = OnLogLine::instance();
    hook.prefix = "File QXF-1.log not found";
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        bool toldWhy = false;
        hook.action = [&toldWhy] { toldWhy = true; };
        // Relative paths: the directory above may be closed to this user.
        buildReportArchive("report.zip");
        ::_exit(toldWhy ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the archive's child died, status " << status;
    ASSERT_NE(WEXITSTATUS(status), 3) << "could not become an unprivileged user";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "no line said why QXF-1.log was left out";

    EXPECT_EQ(zipEntries(dir.file("report.zip")), (ZipEntries{{"QXF-0.log", "first"}, {"QXF-2.log", "third"}}));
    ASSERT_EQ(::chmod("QXF-1.log", 0600), 0);
    EXPECT_EQ(readFile("QXF-1.log"), "kept from the user who runs the report");
}
