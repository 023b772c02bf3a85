// The floor under any zip tool: the time zlib alone takes to deflate the
// given files, read from the page cache, with nothing else of an archive
// around it. Prints "seconds_at_pellicors_levels seconds_at_level_6": the
// first with the level (or storing) Pellicor picks for each file, the
// second at the level zip -6 uses.
//
//   deflate_alone FILE...
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

#include <zlib.h>

#include "archive/entry_compression.h"

namespace {

// Deflates (or, for a stored entry, only checksums) one file; false when it
// cannot be read.
bool pack(const char* path, const EntryCompression& how)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    z_stream stream{};
    if (!how.store && deflateInit2(&stream, how.level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    std::vector<char> input(1 << 16);
    std::vector<Bytef> output(1 << 16);
    uLong crc = crc32(0, nullptr, 0);
    for (;;) {
        in.read(input.data(), static_cast<std::streamsize>(input.size()));
        const auto got = static_cast<uInt>(in.gcount());
        crc = crc32(crc, reinterpret_cast<const Bytef*>(input.data()), got);
        const bool last = got < input.size();
        if (!how.store) {
            stream.next_in = reinterpret_cast<Bytef*>(input.data());
            stream.avail_in = got;
            do {
                stream.next_out = output.data();
                stream.avail_out = static_cast<uInt>(output.size());
                deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            } while (stream.avail_out == 0);
        }
        if (last)
            break;
    }
    if (!how.store)
        deflateEnd(&stream);
    return crc != 1;  // keeps the checksum from being optimised away
}

double secondsFor(int count, char** paths, bool pellicorsLevels)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        const EntryCompression how = pellicorsLevels ? chooseEntryCompression(paths[i]) : EntryCompression{};
        if (!pack(paths[i], how)) {
            std::perror(paths[i]);
            return -1;
        }
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: deflate_alone FILE...\n");
        return 2;
    }
    const double chosen = secondsFor(argc - 1, argv + 1, true);
    const double usual = secondsFor(argc - 1, argv + 1, false);
    if (chosen < 0 || usual < 0)
        return 1;
    std::printf("%.3f %.3f\n", chosen, usual);
    return 0;
}
