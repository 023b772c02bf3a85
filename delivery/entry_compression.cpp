#include "delivery/entry_compression.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include <zlib.h>

namespace {

// Eight slices of 4 KiB: enough to tell log text from minidump pages, and
// about two milliseconds a file. Below a quarter of a megabyte sampling
// would cost more than any level could save.
constexpr std::streamoff sliceBytes = 4 * 1024;
constexpr int sliceCount = 8;
constexpr std::streamoff smallestSampled = 256 * 1024;

// The level a user's own zip tool uses, and how much larger than its result
// a faster level may be: the archive stays within a few percent of theirs.
constexpr int usualLevel = 6;
constexpr double allowedGrowth = 1.05;
// Deflate saving less than this fraction is not worth its time.
constexpr double storeAbove = 0.99;

struct DeflateEnd {
    void operator()(z_stream* stream) const noexcept { deflateEnd(stream); }
};

// Deflated size of data at level; 0 when zlib cannot run.
uLong deflatedSize(const std::string& data, int level)
{
    z_stream stream{};
    if (deflateInit(&stream, level) != Z_OK)
        return 0;
    std::unique_ptr<z_stream, DeflateEnd> end(&stream);
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
    // Deflate's output shrinks as its level rises, so the first level close
    // enough to the usual one is found by halving [1, usual].
    const double limit = allowedGrowth * static_cast<double>(usual);
    int low = 1;
    int high = usualLevel;
    while (low < high) {
        const int middle = (low + high) / 2;
        const uLong size = deflatedSize(sample, middle);
        if (size != 0 && static_cast<double>(size) <= limit)
            high = middle;
        else
            low = middle + 1;
    }
    choice.level = low;
    return choice;
}

EntryCompression chooseEntryCompression(const std::string& path)
{
    std::string sample;
    if (!readSample(path, sample))
        return {};
    return chooseCompressionForSample(sample);
}
