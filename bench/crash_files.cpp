#include "bench/crash_files.h"

#include <algorithm>
#include <cstdio>
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

} // namespace bench
