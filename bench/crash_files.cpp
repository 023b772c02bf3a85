#include "bench/crash_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>

namespace bench {

const char* const crashFileNames[8] = {"QXF-0.log",      "QXF-1.log",      "QXF-2.log",        "QXF-prev.0.log",
                                       "QXF-prev.1.log", "QXF-prev.2.log", "QXF-minidump.dmp", "QXF-prev.minidump.dmp"};

namespace {

const char* const levels[] = {"ERROR", "WARN", "INFO", "INFO", "INFO", "DEBG", "DEBG", "VER1"};
const char* const modules[] = {"MAIN", "CFG ", "OCFG", "NET ", "WX  ", "MAP ", "GPS ", "UI  "};
const char* const products[] = {"RADAR", "SATELLITE", "LIGHTNING", "METAR", "TAF", "WINDS", "TFR", "SIGMET"};

struct FileClose {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

// Written in slices, so that a gigabyte of input never sits in memory.
constexpr std::uint64_t sliceSize = 4 << 20;

} // namespace

// splitmix64: fast, and good enough that the random pages do not compress.
std::uint64_t Random::next()
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

void appendLogText(std::string& out, std::uint64_t size, Random& random)
{
    const auto r = [&](int n) { return static_cast<int>(random.below(static_cast<std::uint64_t>(n))); };
    const std::size_t end = out.size() + size;
    int seconds = 8 * 3600 + r(3600);
    char line[256];
    while (out.size() < end) {
        seconds += r(3);
        int n = std::snprintf(line, sizeof line, "09-12-2024 %02d:%02d:%02d QXF [%d] [%s:%s] ", seconds / 3600 % 24,
                              seconds / 60 % 60, seconds % 60, 1 + r(4), modules[r(8)], levels[r(8)]);
        const char* product = products[r(8)];
        char* rest = line + n;
        const std::size_t room = sizeof line - static_cast<std::size_t>(n);
        switch (r(6)) {
        case 0:
            n += std::snprintf(rest, room, "Fetched tile %d-%d of %s in %d ms, %d bytes\n", r(4096), r(4096), product,
                               r(2000), r(200000));
            break;
        case 1:
            n += std::snprintf(rest, room, "Download of %s stalled at %d of 200000 bytes, retry %d\n", product,
                               r(200000), r(5));
            break;
        case 2:
            n += std::snprintf(rest, room, "Rendered layer %s: %d polygons, %d labels, %d ms\n", product, r(9000),
                               r(400), r(100));
            break;
        case 3:
            n += std::snprintf(rest, room, "Position fix %d.%05d,-%d.%05d accuracy %d m\n", 30 + r(20), r(100000),
                               80 + r(40), r(100000), r(50));
            break;
        case 4:
            n += std::snprintf(rest, room, "Socket %d closed by peer after %d bytes (%s)\n", r(1024), r(1000000),
                               product);
            break;
        default:
            n += std::snprintf(rest, room, "Cache holds %d tiles of %s, %d KB, oldest %d s\n", r(5000), product,
                               r(500000), r(86400));
            break;
        }
        out.append(line, std::min<std::size_t>(static_cast<std::size_t>(n), end - out.size()));
    }
}

void appendDumpData(std::string& out, std::uint64_t size, Random& random)
{
    const std::size_t end = out.size() + size;
    char page[4096];
    while (out.size() < end) {
        const bool zero = random.below(2) == 0;
        for (std::size_t i = 0; i < sizeof page; i += 8) {
            const std::uint64_t word = zero ? 0 : random.next();
            std::copy_n(reinterpret_cast<const char*>(&word), 8, page + i);
        }
        out.append(page, std::min(sizeof page, end - out.size()));
    }
}

bool writeCrashFiles(const std::string& dir, std::uint64_t totalBytes)
{
    const std::uint64_t logSize = totalBytes / 18;
    const std::uint64_t dumpSize = (totalBytes - 6 * logSize) / 2;
    Random random{0x5eed};
    std::string slice;
    for (int i = 0; i < 8; ++i) {
        std::unique_ptr<std::FILE, FileClose> file(std::fopen((dir + "/" + crashFileNames[i]).c_str(), "wb"));
        if (!file)
            return false;
        const bool isLog = i < 6;
        for (std::uint64_t left = isLog ? logSize : dumpSize; left > 0;) {
            const std::uint64_t take = std::min(left, sliceSize);
            slice.clear();
            if (isLog)
                appendLogText(slice, take, random);
            else
                appendDumpData(slice, take, random);
            if (std::fwrite(slice.data(), 1, slice.size(), file.get()) != slice.size())
                return false;
            left -= take;
        }
        if (std::fclose(file.release()) != 0)
            return false;
    }
    return true;
}

namespace {

using FilePtr = std::unique_ptr<std::FILE, FileClose>;

// Reads from files one after the other, starting over after the last.
class Cycle {
public:
    explicit Cycle(std::vector<std::string> paths) : paths_(std::move(paths)) {}
    // Fills size bytes; false when no file yields a byte.
    bool read(char* data, std::size_t size)
    {
        std::size_t emptyInARow = 0;
        while (size > 0) {
            if (!file_) {
                file_.reset(std::fopen(paths_[next_].c_str(), "rb"));
                next_ = (next_ + 1) % paths_.size();
                if (!file_)
                    return false;
            }
            const std::size_t got = std::fread(data, 1, size, file_.get());
            data += got;
            size -= got;
            if (got == 0) {
                file_.reset();
                if (++emptyInARow > paths_.size()) {
                    errno = ENODATA;
                    return false;
                }
            } else {
                emptyInARow = 0;
            }
        }
        return true;
    }

private:
    std::vector<std::string> paths_;
    std::size_t next_ = 0;
    FilePtr file_;
};

bool writeFrom(const std::string& path, std::uint64_t size, const std::function<bool(char*, std::size_t)>& fill)
{
    FilePtr file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    std::vector<char> slice(sliceSize);
    for (std::uint64_t left = size; left > 0;) {
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(left, slice.size()));
        if (!fill(slice.data(), take) || std::fwrite(slice.data(), 1, take, file.get()) != take)
            return false;
        left -= take;
    }
    return std::fclose(file.release()) == 0;
}

} // namespace

bool writeCrashFilesFrom(const std::string& dir, std::uint64_t totalBytes, const std::string (&cores)[2],
                         const std::vector<std::string>& logs)
{
    const std::uint64_t logSize = totalBytes / 18;
    const std::uint64_t dumpSize = (totalBytes - 6 * logSize) / 2;
    Cycle text(logs);
    for (int i = 0; i < 6; ++i) {
        if (!writeFrom(dir + "/" + crashFileNames[i], logSize, [&](char* data, std::size_t size) { return text.read(data, size); }))
            return false;
    }
    for (int i = 0; i < 2; ++i) {
        // A minidump holds the memory a process committed, not the zero
        // pages a core image keeps for its holes.
        Cycle core({cores[i]});
        char page[4096];
        std::size_t pending = 0;  // bytes of page not yet handed out
        std::size_t offset = 0;
        const auto fill = [&](char* data, std::size_t size) {
            while (size > 0) {
                if (pending == 0) {
                    do {
                        if (!core.read(page, sizeof page))
                            return false;
                    } while (std::all_of(page, page + sizeof page, [](char c) { return c == 0; }));
                    pending = sizeof page;
                    offset = 0;
                }
                const std::size_t take = std::min(size, pending);
                std::copy_n(page + offset, take, data);
                data += take;
                size -= take;
                offset += take;
                pending -= take;
            }
            return true;
        };
        if (!writeFrom(dir + "/" + crashFileNames[6 + i], dumpSize, fill))
            return false;
    }
    return true;
}

} // namespace bench
