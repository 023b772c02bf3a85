#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Deflates one input on several threads into one raw deflate stream, the
// way pigz does: the input is cut into blocks of a fixed size, each block is
// deflated on its own with the 32 KiB before it as preset dictionary and
// ends on a byte boundary, so the blocks joined in order are one stream. The
// blocks and their boundaries depend only on the input and the level, never
// on the number of threads: any thread count gives the same bytes.
//
// At most a fixed number of blocks are in memory at once, whatever the size
// of the input.
class ParallelDeflate {
public:
    // Fills up to size bytes of the input; the count, 0 at its end, or less
    // than 0 when it cannot be read. Called on one thread at a time, in
    // order, possibly not the thread that made the object.
    using Reader = std::function<std::int64_t(unsigned char* data, std::size_t size)>;

    // threads: 1 deflates on the calling thread, inside read(); more start
    // that many workers at once. When the system refuses a thread, the
    // ones it started do the work.
    ParallelDeflate(Reader reader, int level, unsigned threads);
    ~ParallelDeflate();
    ParallelDeflate(const ParallelDeflate&) = delete;
    ParallelDeflate& operator=(const ParallelDeflate&) = delete;

    // Copies the next bytes of the stream to data: the count, 0 once the
    // stream is complete, -1 when the input could not be read or memory ran
    // out (and for every call after that).
    std::int64_t read(unsigned char* data, std::size_t size);

    // Once read() returned 0: the CRC-32 and length of the input deflated.
    std::uint32_t crc() const { return crc_; }
    std::uint64_t inputBytes() const { return inputBytes_; }

    // The input is cut into blocks of this size; a smaller one is used by
    // tests to get many blocks out of little data.
    static constexpr std::size_t defaultBlockBytes = 128 * 1024;
    ParallelDeflate(Reader reader, int level, unsigned threads, std::size_t blockBytes);

private:
    struct Block;
    struct Stream;

    void work();
    bool readNextBlock(Block& block);  // with mutex_ held
    bool slotFree() const;
    Block& slot(std::uint64_t index);

    Reader reader_;
    const int level_;
    const std::size_t blockBytes_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::unique_ptr<Block>> slots_;
    std::vector<unsigned char> tail_;  // the last 32 KiB read: the next block's dictionary
    std::uint64_t nextToRead_ = 0;
    std::uint64_t nextToHand_ = 0;
    bool inputEnded_ = false;
    bool stopping_ = false;
    bool failed_ = false;
    bool finished_ = false;
    std::unique_ptr<Stream> inlineStream_;  // when there are no workers
    std::vector<std::thread> workers_;

    std::uint32_t crc_ = 0;
    std::uint64_t inputBytes_ = 0;
};

// Threads packing one archive entry: PELLICOR_ARCHIVE_THREADS when it holds
// a number from 1 to maxArchiveThreads, otherwise the machine's cores (at
// most maxArchiveThreads). The cap keeps the memory in use bounded on any
// machine.
constexpr unsigned maxArchiveThreads = 32;
extern const char* const archiveThreadsVariable;  // "PELLICOR_ARCHIVE_THREADS"
unsigned archiveThreads();

// A fixed count instead of the above, for tests and benchmarks that compare
// thread counts in one process; 0 goes back to the above.
void setArchiveThreads(unsigned count);
