#include "archive/parallel_deflate.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <system_error>

#include <zlib.h>

namespace {

constexpr std::size_t dictionaryBytes = 32 * 1024;
// Two blocks a thread keep every worker busy while the reader drains them
// in order; with 128 KiB blocks that is at most 64 blocks, about 17 MB with
// their output, on the largest machine.
constexpr unsigned slotsPerThread = 2;

std::atomic<unsigned> fixedThreads{0};

} // namespace

const char* const archiveThreadsVariable = "PELLICOR_ARCHIVE_THREADS";

unsigned archiveThreads()
{
    if (const unsigned fixed = fixedThreads.load())
        return fixed;
    if (const char* value = std::getenv(archiveThreadsVariable)) {
        char* end = nullptr;
        const unsigned long count = std::strtoul(value, &end, 10);
        if (end != value && *end == '\0' && count >= 1 && count <= maxArchiveThreads)
            return static_cast<unsigned>(count);
    }
    return std::clamp(std::thread::hardware_concurrency(), 1u, maxArchiveThreads);
}

void setArchiveThreads(unsigned count)
{
    fixedThreads = std::min(count, maxArchiveThreads);
}

struct ParallelDeflate::Block {
    std::uint64_t index = 0;
    std::vector<unsigned char> input;
    std::vector<unsigned char> dictionary;
    std::vector<unsigned char> output;
    std::size_t handed = 0;  // bytes of output already copied out
    uLong crc = 0;
    bool last = false;
    bool done = false;
    bool failed = false;
};

// One zlib state a thread, reset for every block.
struct ParallelDeflate::Stream {
    z_stream zlib{};
    bool ready = false;

    explicit Stream(int level)
    {
        // Raw deflate, zlib's usual window and memory: what libzip itself writes.
        ready = deflateInit2(&zlib, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Stream()
    {
        if (ready)
            deflateEnd(&zlib);
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Deflates block.input into block.output; false when zlib cannot.
    bool deflateBlock(Block& block)
    {
        block.crc = crc32(0, block.input.data(), static_cast<uInt>(block.input.size()));
        if (!ready || deflateReset(&zlib) != Z_OK)
            return false;
        if (!block.dictionary.empty() &&
            deflateSetDictionary(&zlib, block.dictionary.data(), static_cast<uInt>(block.dictionary.size())) != Z_OK)
            return false;
        // A block ends in a sync flush (an empty stored block), which leaves
        // the stream on a byte boundary for the next block to follow.
        const int flush = block.last ? Z_FINISH : Z_SYNC_FLUSH;
        block.output.resize(deflateBound(&zlib, static_cast<uLong>(block.input.size())) + 16);
        zlib.next_in = block.input.data();
        zlib.avail_in = static_cast<uInt>(block.input.size());
        std::size_t written = 0;
        for (;;) {
            zlib.next_out = block.output.data() + written;
            zlib.avail_out = static_cast<uInt>(block.output.size() - written);
            const int result = deflate(&zlib, flush);
            written = block.output.size() - zlib.avail_out;
            if (result == Z_STREAM_ERROR)
                return false;
            if (flush == Z_FINISH ? result == Z_STREAM_END : zlib.avail_in == 0 && zlib.avail_out > 0)
                break;
            if (zlib.avail_out == 0)
                block.output.resize(block.output.size() * 2);
        }
        block.output.resize(written);
        return true;
    }
};

ParallelDeflate::ParallelDeflate(Reader reader, int level, unsigned threads)
    : ParallelDeflate(std::move(reader), level, threads, defaultBlockBytes)
{
}

ParallelDeflate::ParallelDeflate(Reader reader, int level, unsigned threads, std::size_t blockBytes)
    : reader_(std::move(reader)), level_(level), blockBytes_(blockBytes)
{
    threads = std::clamp(threads, 1u, maxArchiveThreads);
    slots_.resize(std::max(2u, slotsPerThread * threads));
    for (auto& block : slots_)
        block = std::make_unique<Block>();
    if (threads > 1) {
        try {
            for (unsigned i = 0; i < threads; ++i)
                workers_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            // Fewer threads only cost time.
        }
    }
    if (workers_.empty())
        inlineStream_ = std::make_unique<Stream>(level_);
}

ParallelDeflate::~ParallelDeflate()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

ParallelDeflate::Block& ParallelDeflate::slot(std::uint64_t index)
{
    return *slots_[static_cast<std::size_t>(index % slots_.size())];
}

bool ParallelDeflate::slotFree() const
{
    return nextToRead_ < nextToHand_ + slots_.size();
}

bool ParallelDeflate::readNextBlock(Block& block)
{
    block.index = nextToRead_++;
    block.handed = 0;
    block.done = false;
    block.failed = false;
    block.dictionary = tail_;
    block.input.resize(blockBytes_);
    std::size_t got = 0;
    bool atEnd = false;
    while (got < blockBytes_) {
        const std::int64_t count = reader_(block.input.data() + got, blockBytes_ - got);
        if (count < 0) {
            block.failed = true;
            break;
        }
        if (count == 0) {
            atEnd = true;
            break;
        }
        got += static_cast<std::size_t>(count);
    }
    block.input.resize(got);
    // An input that ends on a block boundary is only known to end at the
    // next read: it gets an empty last block.
    block.last = atEnd || block.failed;
    inputEnded_ = block.last;
    tail_.insert(tail_.end(), block.input.begin(), block.input.end());
    if (tail_.size() > dictionaryBytes)
        tail_.erase(tail_.begin(), tail_.end() - static_cast<std::ptrdiff_t>(dictionaryBytes));
    return !block.failed;
}

void ParallelDeflate::work()
{
    Stream stream(level_);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || inputEnded_ || slotFree(); });
        if (stopping_ || inputEnded_)
            return;
        Block& block = slot(nextToRead_);
        // Reading stays in order under the lock; deflating runs outside it.
        bool ok = false;
        try {
            ok = readNextBlock(block);
        } catch (const std::bad_alloc&) {
            inputEnded_ = true;
        }
        lock.unlock();
        changed_.notify_all();
        try {
            ok = ok && stream.deflateBlock(block);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        lock.lock();
        block.failed = !ok;
        block.done = true;
        changed_.notify_all();
    }
}

std::int64_t ParallelDeflate::read(unsigned char* data, std::size_t size)
{
    std::unique_lock<std::mutex> lock(mutex_);
    std::size_t copied = 0;
    while (copied < size && !finished_ && !failed_) {
        Block& block = slot(nextToHand_);
        if (inlineStream_ && nextToRead_ == nextToHand_) {
            try {
                block.failed = !readNextBlock(block) || !inlineStream_->deflateBlock(block);
            } catch (const std::bad_alloc&) {
                block.failed = true;
            }
            block.done = true;
        }
        changed_.wait(lock, [&] { return block.index == nextToHand_ && block.done && nextToRead_ > nextToHand_; });
        if (block.failed) {
            failed_ = true;
            break;
        }
        const std::size_t take = std::min(size - copied, block.output.size() - block.handed);
        std::memcpy(data + copied, block.output.data() + block.handed, take);
        copied += take;
        block.handed += take;
        if (block.handed == block.output.size()) {
            crc_ = static_cast<std::uint32_t>(crc32_combine(crc_, block.crc, static_cast<z_off_t>(block.input.size())));
            inputBytes_ += block.input.size();
            finished_ = block.last;
            block.done = false;
            ++nextToHand_;
            changed_.notify_all();
        }
    }
    if (failed_)
        return -1;
    return static_cast<std::int64_t>(copied);
}
