#include "archive/entry_compression.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include <zlib.h>

#include "platform/scoped_handle.h"

namespace {

// Eight slices of 16 KiB: enough history for deflate's levels to differ as
// they do on the whole file (slices of 4 KiB hid a 4 % loss), and a few
// milliseconds a file. Below a quarter of a megabyte sampling would cost
// more than any level could save.
constexpr std::streamoff sliceBytes = 16 * 1024;
constexpr int sliceCount = 8;
constexpr std::streamoff smallestSampled = 256 * 1024;

// The level a user's own zip tool uses, the faster one taken instead when
// the sample says it costs little, and how little: the archive stays within
// a few percent of the user's own zip.
constexpr int usualLevel = 6;
constexpr int fasterLevel = 5;
constexpr double allowedGrowth = 1.02;
// Deflate saving less than this fraction is not worth its time.
constexpr double storeAbove = 0.99;

// Deflated size of data at level; 0 when zlib cannot run.
uLong deflatedSize(const std::string& data, int level)
{
    z_stream stream{};
    if (deflateInit(&stream, level) != Z_OK)
        return 0;
    const platform::ScopedPointer<z_stream, &deflateEnd> end(&stream);
    std::vector<Bytef> out(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
        return 0;
    return stream.total_out;
}

bool readSample(const std::string& path, std::string& sample)
{
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in.seekg(0, std::ios::end))
        return false;
    const std::streamoff size = in.tellg();
    if (size < smallestSampled)
        return false;
    sample.resize(static_cast<std::size_t>(sliceBytes * sliceCount));
    const std::streamoff step = (size - sliceBytes) / (sliceCount - 1);
    for (int i = 0; i < sliceCount; ++i) {
        if (!in.seekg(step * i) || !in.read(&sample[static_cast<std::size_t>(sliceBytes * i)], sliceBytes))
            return false;
    }
    return true;
}

} // namespace

EntryCompression chooseCompressionForSample(const std::string& sample)
{
    EntryCompression choice;
    if (sample.empty())
        return choice;
    const uLong usual = deflatedSize(sample, usualLevel);
    if (usual == 0)
        return choice;
    if (usual >= storeAbove * static_cast<double>(sample.size())) {
        choice.store = true;
        return choice;
    }
    // Levels below 5 are not tried: a few slices of real process memory
    // deflate quite unlike the whole file, and levels 1 to 4 that looked
    // good on them came out up to 12 % larger. Level 5 is within about
    // 1.5 % of level 6 on real minidumps and logs, at three quarters of its
    // time; text of very few distinct lines loses more and keeps level 6.
    const uLong faster = deflatedSize(sample, fasterLevel);
    choice.level = faster != 0 && static_cast<double>(faster) <= allowedGrowth * static_cast<double>(usual)
                       ? fasterLevel
                       : usualLevel;
    return choice;
}

EntryCompression chooseEntryCompression(const std::string& path)
{
    std::string sample;
    if (!readSample(path, sample))
        return {};
    return chooseCompressionForSample(sample);
}
