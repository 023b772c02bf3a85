#include "archive/parallel_deflate.h"

#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <zlib.h>

#include "tests/support/temp_dir.h"

using testing_support::halfEntropyText;

namespace {

constexpr std::size_t smallBlocks = 1024;

std::string inflateRaw(const std::string& deflated, std::size_t expectedSize)
{
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, -MAX_WBITS), Z_OK);
    std::string out(expectedSize + 1, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    stream.avail_in = static_cast<uInt>(deflated.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END) << "not one whole deflate stream";
    EXPECT_EQ(stream.avail_in, 0u) << "bytes after the stream's end";
    out.resize(stream.total_out);
    inflateEnd(&stream);
    return out;
}

struct Outcome {
    std::string stream;
    std::int64_t last = 0;  // what read() returned last
    std::uint32_t crc = 0;
    std::uint64_t inputBytes = 0;
};

// Reads input in pieces of at most 700 bytes, and fails once failAfter
// bytes are read when that is set.
ParallelDeflate::Reader readerOf(const std::string& input, std::size_t failAfter = std::string::npos)
{
    return [&input, failAfter, at = std::size_t{0}](unsigned char* data, std::size_t size) mutable -> std::int64_t {
        if (at >= failAfter)
            return -1;
        const std::size_t take = std::min({size, input.size() - at, std::size_t{700}});
        std::memcpy(data, input.data() + at, take);
        at += take;
        return static_cast<std::int64_t>(take);
    };
}

Outcome deflateAll(const std::string& input, unsigned threads, std::size_t failAfter = std::string::npos)
{
    ParallelDeflate deflate(readerOf(input, failAfter), 6, threads, smallBlocks);
    Outcome outcome;
    unsigned char buffer[333];  // libzip reads in pieces unrelated to the blocks
    while ((outcome.last = deflate.read(buffer, sizeof buffer)) > 0)
        outcome.stream.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(outcome.last));
    outcome.crc = deflate.crc();
    outcome.inputBytes = deflate.inputBytes();
    return outcome;
}

} // namespace

// Block boundaries fall where the input says, never where a thread happens
// to be: the stream is the same byte for byte on any number of threads, and
// inflates to the input with its CRC.
TEST(ParallelDeflate, GivesOneStreamOfTheInputTheSameOnAnyThreadCount)
{
    for (const std::size_t size : {std::size_t{0}, std::size_t{1}, smallBlocks - 1, smallBlocks, 3 * smallBlocks,
                                   3 * smallBlocks + 1, 100 * smallBlocks + 17}) {
        const std::string input = halfEntropyText(size, static_cast<unsigned>(size));
        const Outcome single = deflateAll(input, 1);
        EXPECT_EQ(single.last, 0) << size;
        EXPECT_EQ(inflateRaw(single.stream, size), input) << size;
        EXPECT_EQ(single.crc, crc32(0, reinterpret_cast<const Bytef*>(input.data()), static_cast<uInt>(size))) << size;
        EXPECT_EQ(single.inputBytes, size);
        for (const unsigned threads : {2u, 3u, 8u}) {
            const Outcome parallel = deflateAll(input, threads);
            EXPECT_EQ(parallel.stream, single.stream) << size << " bytes on " << threads << " threads";
            EXPECT_EQ(parallel.crc, single.crc) << size << " bytes on " << threads << " threads";
        }
    }
    // The dictionary carries matches across blocks: as small as one stream.
    const std::string repeated = halfEntropyText(2000, 1) + halfEntropyText(2000, 1) + halfEntropyText(2000, 1);
    EXPECT_LT(deflateAll(repeated, 2).stream.size(), 2000u);
}

// A read error anywhere ends the stream with an error, on every call after
// it too, and the workers are stopped and joined without a hang.
TEST(ParallelDeflate, AReadErrorIsAnErrorWhereverItFalls)
{
    const std::string input = halfEntropyText(40 * smallBlocks, 9);
    for (const std::size_t failAfter : {std::size_t{0}, smallBlocks / 2, 20 * smallBlocks, input.size()}) {
        for (const unsigned threads : {1u, 4u}) {
            // Failing at the very end still fails: the end is only known at the next read.
            const Outcome outcome = deflateAll(input, threads, failAfter);
            EXPECT_EQ(outcome.last, -1) << "failing after " << failAfter << " on " << threads << " threads";
        }
    }
}

// An object dropped halfway, as when libzip stops reading after a write
// error, stops its workers.
TEST(ParallelDeflate, StopsWhenDroppedHalfway)
{
    const std::string input = halfEntropyText(200 * smallBlocks, 3);
    ParallelDeflate deflate(readerOf(input), 6, 4, smallBlocks);
    unsigned char buffer[100];
    EXPECT_EQ(deflate.read(buffer, sizeof buffer), 100);
    // Leaving the scope joins the workers; a hang here is the failure.
}

TEST(ParallelDeflate, AFixedThreadCountOverridesTheMachines)
{
    setArchiveThreads(3);
    EXPECT_EQ(archiveThreads(), 3u);
    setArchiveThreads(1000);
    EXPECT_EQ(archiveThreads(), maxArchiveThreads);
    setArchiveThreads(0);
    EXPECT_GE(archiveThreads(), 1u);
    EXPECT_LE(archiveThreads(), maxArchiveThreads);
}
