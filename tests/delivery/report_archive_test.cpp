#include "delivery/report_archive.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <zip.h>

#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

using namespace testing_support;
using Lines = std::vector<std::string>;

namespace {

const Lines allEight = {"QXF-0.log",      "QXF-1.log",      "QXF-2.log",        "QXF-prev.0.log",
                        "QXF-prev.1.log", "QXF-prev.2.log", "QXF-minidump.dmp", "QXF-prev.minidump.dmp"};

class ReportArchiveTest : public ::testing::Test {
protected:
    void SetUp() override { LogCapture::instance().clear(); }

    std::string archive() const { return dir.file("report.zip"); }

    // The messages logged, with the archive path written as ARCHIVE.
    Lines logged() const
    {
        Lines result;
        for (std::string message : LogCapture::instance().messages()) {
            for (std::string::size_type at; (at = message.find(archive())) != std::string::npos;)
                message.replace(at, archive().size(), "ARCHIVE");
            result.push_back(message);
        }
        return result;
    }

    TempDir dir;
    ScopedCurrentDirectory cwd{dir.path()};
};

} // namespace

TEST_F(ReportArchiveTest, PathIsTheCurrentDirectorysReportZip)
{
    EXPECT_EQ(std::filesystem::path(reportArchivePath()), std::filesystem::path(dir.path()) / "report.zip");
    EXPECT_EQ(diagnosticLogName("-prev.2."), "QXF-prev.2.log");
}

TEST_F(ReportArchiveTest, WithNoFilesLeavesNoArchiveBehind)
{
    writeFile(archive(), "stale archive of an earlier crash");
    buildReportArchive(archive());
    EXPECT_FALSE(testing_support::fileExists(archive()));
    Lines expected;
    for (const std::string& name : allEight)
        expected.push_back("File " + name + " not found, not adding to ARCHIVE\n");
    EXPECT_EQ(logged(), expected);
}

TEST_F(ReportArchiveTest, PacksTheFilesThatExistInTheirOrder)
{
    writeFile("QXF-prev.minidump.dmp", std::string("MDMP\0\0prev", 10));
    writeFile("QXF-minidump.dmp", std::string("MDMP\0\0\xff\xfe", 8));
    buildReportArchive(archive());

    const ZipEntries expected = {
        {"QXF-minidump.dmp", std::string("MDMP\0\0\xff\xfe", 8)},
        {"QXF-prev.minidump.dmp", std::string("MDMP\0\0prev", 10)}};
    EXPECT_EQ(zipEntries(archive()), expected);
    const Lines lines = logged();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[5], "File QXF-prev.2.log not found, not adding to ARCHIVE\n");
    EXPECT_EQ(lines[6], "Adding QXF-minidump.dmp to ARCHIVE\n");
    EXPECT_EQ(lines[7], "Adding QXF-prev.minidump.dmp to ARCHIVE\n");
}

TEST_F(ReportArchiveTest, PacksAllEightByteForByte)
{
    ZipEntries expected;
    for (size_t i = 0; i < allEight.size(); ++i) {
        std::string bytes;
        for (size_t j = 0; j < 1000 * (i + 1); ++j)
            bytes += static_cast<char>((j * 7919 + i) % 251);
        writeFile(allEight[i], bytes);
        expected.emplace_back(allEight[i], bytes);
    }
    writeFile(archive(), "stale");
    buildReportArchive(archive());
    EXPECT_EQ(zipEntries(archive()), expected);
}

TEST_F(ReportArchiveTest, ABadFileCostsOnlyItself)
{
    writeFile("QXF-0.log", "first");
    std::filesystem::create_directory("QXF-1.log");
    writeFile("QXF-2.log", "third");
    buildReportArchive(archive());

    const ZipEntries expected = {{"QXF-0.log", "first"},
                                                                       {"QXF-2.log", "third"}};
    EXPECT_EQ(zipEntries(archive()), expected);
    // A directory either does not open as a file at all or fails as the
    // archive is written; either way the files around it go in.
    Lines lines = logged();
    ASSERT_GE(lines.size(), 3u);
    if (lines[1] == "Adding QXF-1.log to ARCHIVE\n") {
        EXPECT_EQ(lines[2], "zip_close failed on ARCHIVE\n");
        lines.erase(lines.begin() + 2);
    } else {
        EXPECT_EQ(lines[1], "File QXF-1.log not found, not adding to ARCHIVE\n");
    }
    EXPECT_EQ(lines[2], "Adding QXF-2.log to ARCHIVE\n");
    // Nothing half-written is left beside the archive.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 4);
}

TEST_F(ReportArchiveTest, AnEntryAlreadyInTheArchiveIsNotReplaced)
{
    writeFile("QXF-0.log", "old");
    addFileToZip(archive(), "QXF-0.log", "");
    writeFile("QXF-0.log", "new");
    writeFile("QXF-1.log", "next");
    LogCapture::instance().clear();

    addFileToZip(archive(), "QXF-0.log", "");
    addFileToZip(archive(), "QXF-1.log", "");

    const ZipEntries expected = {{"QXF-0.log", "old"}, {"QXF-1.log", "next"}};
    EXPECT_EQ(zipEntries(archive()), expected);
    const Lines lines = logged();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Adding QXF-0.log to ARCHIVE\n");
    EXPECT_EQ(lines[1].rfind("Error while adding file QXF-0.log to zip ARCHIVE: ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "Adding QXF-1.log to ARCHIVE\n");
}

TEST_F(ReportArchiveTest, NamesAnEntryAsAsked)
{
    writeFile("QXF-0.log", "x");
    addFileToZip(archive(), "QXF-0.log", "logs/renamed.log");
    ASSERT_EQ(zipEntries(archive()).size(), 1u);
    EXPECT_EQ(zipEntries(archive())[0].first, "logs/renamed.log");
}

TEST_F(ReportArchiveTest, LogsWhenTheArchiveCannotBeOpened)
{
    writeFile("QXF-0.log", "x");
    writeFile(archive(), "not a zip at all");
    addFileToZip(archive(), "QXF-0.log", "");
    const Lines lines = logged();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "Zip could not open file ARCHIVE, error: " + std::to_string(ZIP_ER_NOZIP) + "\n");
    EXPECT_EQ(readFile(archive()), "not a zip at all");
}
