// The diagnostic archive when a file goes away or changes while it is
// packed, cannot be read at all, or is larger than a plain zip can hold.

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include "archive/deflating_source.h"
#include "archive/parallel_deflate.h"
#include "archive/report_archive.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_reader.h"

using namespace testing_support;

TEST(ArchiveFaults, AFileDeletedBetweenTheCheckAndTheAddIsPackedAsItWasChecked)
{
    TempDir dir;
    ScopedCurrentDirectory cwd(dir.path());
    writeFile("QXF-0.log", "first");
    const std::string second = halfEntropyText(1 << 20, 5);
    writeFile("QXF-1.log", second);
    writeFile("QXF-2.log", "third");
    // "Adding FILE to ARCHIVE" comes between the check that the file is there and its packing.
    LogCapture::instance().onMessage("Adding QXF-1.log to ", [] { std::filesystem::remove("QXF-1.log"); });
    buildReportArchive(dir.file("report.zip"));
    LogCapture::instance().onMessage("", nullptr);

    EXPECT_FALSE(testing_support::fileExists("QXF-1.log"));
    EXPECT_EQ(zipEntries(dir.file("report.zip")),
              (ZipEntries{{"QXF-0.log", "first"}, {"QXF-1.log", second}, {"QXF-2.log", "third"}}));
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

    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        bool toldWhy = false;
        LogCapture::instance().onMessage("File QXF-1.log not found", [&toldWhy] { toldWhy = true; });
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

// A host still writing, or a cleaner truncating, a file while it is
// deflated: the entry holds the bytes read, at most the length the file had
// when its packing began, with their own CRC and size, and any unzip reads
// it. The change is made between the source's start and zip_close, as it
// falls while libzip reads.
TEST(ArchiveFaults, AFileThatChangesWhileItIsDeflatedGivesAWholeEntryOfWhatWasRead)
{
    const std::string original = halfEntropyText(3 << 20, 5);
    struct Change {
        const char* what;
        std::function<void(const std::string&)> make;
        std::string packed;
    };
    const Change changes[] = {
        {"truncated", [](const std::string& path) { std::filesystem::resize_file(path, 1000000); },
         original.substr(0, 1000000)},
        {"appended to", [](const std::string& path) { std::ofstream(path, std::ios::app) << std::string(5000, 'z'); },
         original},
        {"deleted", [](const std::string& path) { std::filesystem::remove(path); }, original},
    };
    for (const Change& change : changes) {
        TempDir dir;
        const std::string path = dir.file("QXF-minidump.dmp");
        writeFile(path, original);
        setArchiveThreads(4);
        ZipArchive archive = openZip(dir.file("report.zip"), ZIP_CREATE);
        ASSERT_TRUE(archive);
        // Open before the change, as the archive holds the file it checked.
        std::FILE* file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        zip_source_t* source =
            deflatingSource(zip_source_filep(archive.get(), file, 0, -1), 5, zip_get_error(archive.get()));
        ASSERT_NE(source, nullptr);
        ASSERT_GE(zip_file_add(archive.get(), "QXF-minidump.dmp", source, ZIP_FL_ENC_UTF_8), 0);
        change.make(path);
        EXPECT_EQ(zip_close(archive.get()), 0) << change.what << ": " << zip_strerror(archive.get());
        archive.release();
        setArchiveThreads(0);
        const ZipEntries entries = zipEntries(dir.file("report.zip"));
        ASSERT_EQ(entries.size(), 1u) << change.what;
        EXPECT_EQ(entries[0].first, "QXF-minidump.dmp");
        EXPECT_EQ(entries[0].second.size(), change.packed.size()) << change.what;
        EXPECT_TRUE(entries[0].second == change.packed) << change.what;
    }
}

// A minidump past 4 GiB needs Zip64; a sparse file costs no disk, only the
// time to deflate its zeros.
TEST(ArchiveFaults, AMinidumpPastFourGibibytesIsPackedWithZip64)
{
    TempDir dir;
    ScopedCurrentDirectory cwd(dir.path());
    const std::uint64_t size = (9ull << 30) / 2;  // 4.5 GiB
    const std::string head = "MDMP head", tail = "tail of the dump";
    {
        std::ofstream dump("QXF-minidump.dmp", std::ios::binary);
        dump << head;
        dump.seekp(static_cast<std::streamoff>(size - tail.size()));
        dump << tail;
    }
    ASSERT_EQ(std::filesystem::file_size("QXF-minidump.dmp"), size);
    writeFile("QXF-prev.minidump.dmp", "after it");
    buildReportArchive(dir.file("report.zip"));

    const ZipArchive archive = openZip(dir.file("report.zip"), ZIP_RDONLY | ZIP_CHECKCONS);
    ASSERT_TRUE(archive);
    ASSERT_EQ(zip_get_num_entries(archive.get(), 0), 2);
    zip_stat_t stat;
    ASSERT_EQ(zip_stat_index(archive.get(), 0, 0, &stat), 0);
    EXPECT_STREQ(stat.name, "QXF-minidump.dmp");
    EXPECT_EQ(stat.size, size);
    EXPECT_EQ(stat.comp_method, ZIP_CM_DEFLATE);
    // The CRC of the whole, from the CRCs of its parts: head, zeros, tail.
    // Reading 4.5 GiB back would double the test's time; the deflate stream
    // itself is proven in the pieces' own tests.
    const auto crcOf = [](const std::string& bytes) {
        return crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
    };
    const std::uint64_t zeros = size - head.size() - tail.size();
    uLong zeroCrc = crc32(0, nullptr, 0);
    const std::string mebibyte(1 << 20, '\0');
    const uLong mebibyteCrc = crcOf(mebibyte);
    for (std::uint64_t done = 0; done + mebibyte.size() <= zeros; done += mebibyte.size())
        zeroCrc = crc32_combine(zeroCrc, mebibyteCrc, static_cast<z_off_t>(mebibyte.size()));
    zeroCrc = crc32_combine(zeroCrc, crcOf(std::string(zeros % mebibyte.size(), '\0')),
                            static_cast<z_off_t>(zeros % mebibyte.size()));
    uLong expected = crc32_combine(crcOf(head), zeroCrc, static_cast<z_off_t>(zeros));
    expected = crc32_combine(expected, crcOf(tail), static_cast<z_off_t>(tail.size()));
    EXPECT_EQ(stat.crc, expected);
    zip_file_t* entry = zip_fopen_index(archive.get(), 0, 0);
    ASSERT_NE(entry, nullptr);
    std::string first(1 << 20, 'x');
    EXPECT_EQ(zip_fread(entry, &first[0], first.size()), static_cast<zip_int64_t>(first.size()));
    zip_fclose(entry);
    EXPECT_TRUE(first == head + mebibyte.substr(head.size()));
    ASSERT_EQ(zip_stat_index(archive.get(), 1, 0, &stat), 0);
    EXPECT_STREQ(stat.name, "QXF-prev.minidump.dmp");
    // The Zip64 extra field (0x0001) sits in the entry's local header.
    std::ifstream raw(dir.file("report.zip"), std::ios::binary);
    char local[30 + 16 + 4];
    raw.read(local, sizeof local);
    EXPECT_EQ(std::string(local + 30, 16), "QXF-minidump.dmp");
    EXPECT_EQ(local[46], 1);
    EXPECT_EQ(local[47], 0);
}

TEST(ArchiveFaults, TheThreadCountIsCappedByItsVariable)
{
    const unsigned machine = archiveThreads();
    const struct {
        const char* value;
        unsigned threads;
    } cases[] = {{"1", 1}, {"3", 3}, {"32", 32}, {"33", machine}, {"0", machine}, {"-2", machine},
                 {"two", machine}, {"2x", machine}, {"", machine}};
    for (const auto& each : cases) {
        // By its name as users and support write it.
        ::setenv("PELLICOR_ARCHIVE_THREADS", each.value, 1);
        EXPECT_EQ(archiveThreads(), each.threads) << '"' << each.value << '"';
    }
    ::unsetenv("PELLICOR_ARCHIVE_THREADS");
}
