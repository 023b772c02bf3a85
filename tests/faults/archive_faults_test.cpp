// The diagnostic archive when a file goes away while it is packed.

#include <filesystem>
#include <functional>

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
