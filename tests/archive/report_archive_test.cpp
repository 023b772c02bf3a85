#include "archive/report_archive.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>

#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include "archive/archive_limit.h"
#include "archive/parallel_deflate.h"
#include "platform/process.h"
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

struct Packed {
    zip_uint16_t method;
    zip_uint64_t size;
};

// How each entry was packed, by name.
std::map<std::string, Packed> packing(const std::string& archivePath)
{
    std::map<std::string, Packed> result;
    const ZipArchive archive = openZip(archivePath);
    for (zip_int64_t i = 0; archive && i < zip_get_num_entries(archive.get(), 0); ++i) {
        zip_stat_t stat;
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &stat) == 0)
            result[stat.name] = {stat.comp_method, stat.comp_size};
    }
    return result;
}

uLong deflatedAtLevelSix(const std::string& bytes)
{
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(bytes.data()),
              static_cast<uLong>(bytes.size()), 6);
    return size;
}

struct FixedThreads {
    explicit FixedThreads(unsigned count) { setArchiveThreads(count); }
    ~FixedThreads() { setArchiveThreads(0); }
};

} // namespace

TEST_F(ReportArchiveTest, PathIsTheCurrentDirectorysReportZip)
{
    // Byte for byte: the folder's name reaches the archive path unchanged.
    EXPECT_EQ(std::filesystem::u8path(reportArchivePath()), std::filesystem::u8path(dir.path()) / "report.zip");
    EXPECT_EQ(reportArchivePath().substr(0, dir.path().size()), dir.path());
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

// A user's zip tool deflates everything at level 6; the archive may pick a
// faster level or store an entry, but must stay about as small.
TEST_F(ReportArchiveTest, StoresWhatDoesNotShrinkAndStaysNearTheUsualSize)
{
    std::mt19937_64 random(7);
    std::string log, noise, dump;
    while (log.size() < (1u << 20)) {
        log += "09-12-2024 08:00:" + std::to_string(random() % 60) + " QXF [MAIN:INFO] Fetched tile " +
               std::to_string(random() % 4096) + " of RADAR in " + std::to_string(random() % 2000) + " ms\n";
    }
    for (int page = 0; page < 256; ++page) {
        for (int i = 0; i < 512; ++i) {
            const std::uint64_t word = random();
            noise.append(reinterpret_cast<const char*>(&word), 8);
            const std::uint64_t dumpWord = page % 2 == 0 ? word : 0;
            dump.append(reinterpret_cast<const char*>(&dumpWord), 8);
        }
    }
    writeFile("QXF-0.log", log);
    writeFile("QXF-minidump.dmp", noise);
    writeFile("QXF-prev.minidump.dmp", dump);
    buildReportArchive(archive());

    const ZipEntries expected = {{"QXF-0.log", log}, {"QXF-minidump.dmp", noise}, {"QXF-prev.minidump.dmp", dump}};
    EXPECT_EQ(zipEntries(archive()), expected);
    const std::map<std::string, Packed> packed = packing(archive());
    ASSERT_EQ(packed.size(), 3u);
    EXPECT_EQ(packed.at("QXF-minidump.dmp").method, ZIP_CM_STORE);
    EXPECT_EQ(packed.at("QXF-minidump.dmp").size, noise.size());
    for (const auto& [name, bytes] : {std::pair{"QXF-0.log", log}, std::pair{"QXF-prev.minidump.dmp", dump}}) {
        EXPECT_EQ(packed.at(name).method, ZIP_CM_DEFLATE) << name;
        EXPECT_LE(static_cast<double>(packed.at(name).size), 1.03 * static_cast<double>(deflatedAtLevelSix(bytes)))
            << name;
    }
}

// Entries are deflated in blocks on as many threads as there are cores:
// whatever the count, the archive is the same byte for byte, and every
// entry reads back with its CRC.
TEST_F(ReportArchiveTest, IsTheSameByteForByteOnAnyNumberOfThreads)
{
    std::mt19937_64 random(11);
    std::string log, dump, boundary;
    while (log.size() < 700 * 1024)
        log += "09-12-2024 08:00:" + std::to_string(random() % 60) + " dpkg status half-configured libzip4 " +
               std::to_string(random() % 100000) + "\n";
    for (int i = 0; i < 600 * 1024; ++i)
        dump += static_cast<char>(i % 4096 < 1024 ? 0 : 'a' + random() % 16);
    // Exactly two blocks: the input's end is found by one more read.
    boundary = dump.substr(0, 2 * ParallelDeflate::defaultBlockBytes);
    const ZipEntries expected = {{"QXF-0.log", log}, {"QXF-1.log", ""}, {"QXF-2.log", "x"},
                                 {"QXF-minidump.dmp", dump}, {"QXF-prev.minidump.dmp", boundary}};
    for (const auto& [name, bytes] : expected)
        writeFile(name, bytes);
    // An entry carries its file's time, not the time it was packed.
    std::filesystem::last_write_time("QXF-minidump.dmp",
                                     std::filesystem::last_write_time("QXF-minidump.dmp") - std::chrono::hours(50));
    struct stat file;
    ASSERT_EQ(::stat("QXF-minidump.dmp", &file), 0);

    std::string single;
    {
        const FixedThreads one(1);
        buildReportArchive(archive());
        single = readFile(archive());
    }
    EXPECT_EQ(zipEntries(archive()), expected);
    zip_stat_t entry;
    ASSERT_EQ(zip_stat(openZip(archive()).get(), "QXF-minidump.dmp", 0, &entry), 0);
    EXPECT_LE(std::abs(static_cast<long long>(entry.mtime) - static_cast<long long>(file.st_mtime)), 2);
    for (const unsigned threads : {2u, 3u, 8u}) {
        const FixedThreads several(threads);
        buildReportArchive(archive());
        EXPECT_TRUE(readFile(archive()) == single) << threads << " threads";
    }
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
    EXPECT_EQ(filesIn(dir.path()).size(), 4u);
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

// Limit 1 MB; random bytes are stored, so an entry takes its file, 76 bytes
// and its name twice, and the archive 22 bytes more.
TEST_F(ReportArchiveTest, KeepsTheMostImportantFilesThatFitWithinTheLimit)
{
    const auto noise = [](std::size_t size) { return randomBytes(size, static_cast<unsigned>(size)); };
    const std::uint64_t mb = 1000000, atLimit = mb - 22 - 76 - 2 * 16;
    const struct {
        const char* what;
        std::vector<std::pair<const char*, std::string>> files;
        std::uint64_t limit;
        Lines leftOut;
    } rows[] = {
        {"a dump just under the limit", {{"QXF-minidump.dmp", noise(atLimit - 1)}}, mb, {}},
        {"a dump exactly at the limit", {{"QXF-minidump.dmp", noise(atLimit)}}, mb, {}},
        {"one byte over it", {{"QXF-minidump.dmp", noise(atLimit + 1)}}, mb, {"QXF-minidump.dmp"}},
        {"at the limit without a log", {{"QXF-1.log", "x"}, {"QXF-minidump.dmp", noise(atLimit)}}, mb, {"QXF-1.log"}},
        {"a stored dump over it alone", {{"QXF-1.log", "x"}, {"QXF-minidump.dmp", noise(mb + 1)}}, mb, {"QXF-minidump.dmp"}},
        {"a dump deflated past it alone", {{"QXF-0.log", "y"}, {"QXF-minidump.dmp", halfEntropyText(3 * mb, 1)}}, mb,
         {"QXF-minidump.dmp"}},
        {"the previous dump goes first",
         {{"QXF-0.log", halfEntropyText(mb / 2, 2)}, {"QXF-minidump.dmp", noise(mb / 2)}, {"QXF-prev.minidump.dmp", noise(mb / 4)}},
         mb, {"QXF-prev.minidump.dmp"}},
        {"the current dump before the logs, and no log for a file that cannot go",
         {{"QXF-0.log", noise(mb / 2)}, {"QXF-2.log", "z"}, {"QXF-prev.0.log", noise(mb / 2)},
          {"QXF-minidump.dmp", noise(3 * mb / 5)}, {"QXF-prev.minidump.dmp", noise(mb / 4)}},
         mb, {"QXF-0.log", "QXF-prev.0.log"}},
        {"no limit", {{"QXF-minidump.dmp", noise(mb + 1)}, {"QXF-prev.minidump.dmp", noise(mb)}}, 0, {}},
    };
    for (const auto& row : rows) {
        for (const std::string& name : allEight)
            std::filesystem::remove(name);
        ZipEntries kept;
        for (const auto& [name, bytes] : row.files) {
            writeFile(name, bytes);
            if (std::find(row.leftOut.begin(), row.leftOut.end(), name) == row.leftOut.end())
                kept.emplace_back(name, bytes);
        }
        buildReportArchive(archive());
        const std::string unlimited = testing_support::fileExists(archive()) ? readFile(archive()) : "";
        LogCapture::instance().clear();

        const std::vector<LeftOutFile> leftOut = buildReportArchive(archive(), row.limit);
        Lines expected, names;
        for (const std::string& name : allEight)
            expected.push_back(testing_support::fileExists(name) ? "Adding " + name + " to ARCHIVE\n"
                                                                 : "File " + name + " not found, not adding to ARCHIVE\n");
        for (const LeftOutFile& file : leftOut) {
            names.push_back(file.name);
            EXPECT_EQ(file.size, std::filesystem::file_size(file.name)) << row.what;
            expected.push_back("File " + file.name + " left out of ARCHIVE: the archive would pass the mail size limit of "
                               + std::to_string(row.limit) + " bytes\n");
        }
        EXPECT_EQ(names, row.leftOut) << row.what;
        EXPECT_EQ(logged(), expected) << row.what;
        const bool packed = testing_support::fileExists(archive());
        // Nothing half-written is left beside the files.
        EXPECT_EQ(filesIn(".").size(), row.files.size() + packed) << row.what;
        if (!packed && kept.empty())
            continue;
        EXPECT_TRUE(zipEntries(archive()) == kept) << row.what;
        EXPECT_LE(readFile(archive()).size(), row.limit == 0 ? ~0ull : row.limit) << row.what;
        EXPECT_TRUE(!row.leftOut.empty() || readFile(archive()) == unlimited) << row.what;
    }
}

TEST_F(ReportArchiveTest, TakesItsLimitInWholeMegabytesFromTheEnvironment)
{
    // The default, 14000000, only for a value ignored with a warning.
    const std::uint64_t ignored = 14000000;
    const std::pair<const char*, std::uint64_t> values[] = {
        {"0", 0}, {"1", 1000000}, {"0025", 25000000}, {"100000", 100000000000}, {"100001", ignored}, {"-1", ignored},
        {"1.5", ignored}, {" 5", ignored}, {"5x", ignored}, {"0x10", ignored}, {"99999999999999999999", ignored}};
    for (const auto& [value, bytes] : values) {
        ASSERT_TRUE(platform::setEnvironmentVariable(archiveLimitVariable, value));
        LogCapture::instance().clear();
        EXPECT_EQ(archiveLimit(), bytes) << value;
        EXPECT_EQ(logged(), bytes != ignored ? Lines{} : Lines{"Ignoring PELLICOR_ARCHIVE_LIMIT_MB=\"" + std::string(value)
            + "\": not a whole number of megabytes from 0 to 100000; the archive stays within 14000000 bytes\n"}) << value;
    }
    platform::setEnvironmentVariable(archiveLimitVariable, "14");
}
