// What the crash archive costs, piece by piece: deflate itself (the floor no
// zip tool gets under), the per-entry choice of level, one more
// open/add/close cycle as the archive already holds more entries, and the
// whole archive under a mail size limit.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include "bench/crash_files.h"
#include "archive/entry_compression.h"
#include "archive/report_archive.h"
#include "pellicor/logging.h"

namespace fs = std::filesystem;

namespace {

enum Kind { LogText = 0, DumpData = 1 };

const std::string& sampleData(int kind)
{
    static std::string data[2];
    std::string& bytes = data[kind];
    if (bytes.empty()) {
        bench::Random random{static_cast<std::uint64_t>(kind) + 1};
        if (kind == LogText)
            bench::appendLogText(bytes, 16 << 20, random);
        else
            bench::appendDumpData(bytes, 16 << 20, random);
    }
    return bytes;
}

// A directory of its own, removed with everything in it.
struct ScratchDirectory {
    fs::path path;
    ScratchDirectory()
    {
        std::string pattern = (fs::temp_directory_path() / "pellicor-archive-bench.XXXXXX").string();
        path = mkdtemp(&pattern[0]);
    }
    ~ScratchDirectory()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string file(const std::string& name) const { return (path / name).string(); }
};

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void quietLogger()
{
    Logger::getInstance()->setLevel(Logger::MODULE_MAIN, 3);
}

// Raw deflate of 16 MiB, as libzip runs it, with the output thrown away.
void ZlibAlone(benchmark::State& state)
{
    const std::string& data = sampleData(static_cast<int>(state.range(0)));
    const int level = static_cast<int>(state.range(1));
    std::vector<Bytef> out(64 * 1024);
    uLong compressed = 0;
    for (auto _ : state) {
        z_stream stream{};
        deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream.avail_in = static_cast<uInt>(data.size());
        int result = Z_OK;
        while (result != Z_STREAM_END) {
            stream.next_out = out.data();
            stream.avail_out = static_cast<uInt>(out.size());
            result = deflate(&stream, Z_FINISH);
        }
        compressed = stream.total_out;
        deflateEnd(&stream);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
    state.counters["ratio"] = static_cast<double>(compressed) / static_cast<double>(data.size());
}
BENCHMARK(ZlibAlone)
    ->ArgNames({"dump", "level"})
    ->ArgsProduct({{LogText, DumpData}, {1, 2, 3, 4, 5, 6, 9}})
    ->Unit(benchmark::kMillisecond);

// libzip checks every entry's CRC as well.
void Crc32Alone(benchmark::State& state)
{
    const std::string& data = sampleData(DumpData);
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(Crc32Alone)->Unit(benchmark::kMillisecond);

// The sampling that picks an entry's level, on a 16 MiB file.
void ChooseEntryCompression(benchmark::State& state)
{
    ScratchDirectory dir;
    const std::string path = dir.file("input");
    writeFile(path, sampleData(static_cast<int>(state.range(0))));
    EntryCompression choice;
    for (auto _ : state)
        benchmark::DoNotOptimize(choice = chooseEntryCompression(path));
    state.counters["level"] = choice.store ? 0 : choice.level;
}
BENCHMARK(ChooseEntryCompression)->ArgName("dump")->Arg(LogText)->Arg(DumpData)->Unit(benchmark::kMicrosecond);

// One more open/add/close of a 64 KiB log while the archive already holds
// entries_present entries of 8 MiB minidump data. libzip copies entries it
// keeps without inflating them again: the time grows with the bytes it
// copies, not with what compressing them once took.
void AddOneFileToArchive(benchmark::State& state)
{
    quietLogger();
    ScratchDirectory dir;
    const std::string archive = dir.file("report.zip");
    const std::string pristine = dir.file("pristine.zip");
    const std::string dump = dir.file("entry.dmp");
    const std::string log = dir.file("next.log");
    writeFile(dump, sampleData(DumpData).substr(0, 8 << 20));
    writeFile(log, sampleData(LogText).substr(0, 64 << 10));
    for (int i = 0; i < state.range(0); ++i)
        addFileToZip(pristine, dump, "entry-" + std::to_string(i) + ".dmp");

    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        fs::remove(archive, ec);
        if (state.range(0) > 0)
            fs::copy_file(pristine, archive);
        state.ResumeTiming();
        addFileToZip(archive, log, "next.log");
    }
    std::error_code ec;
    state.counters["MiB_present"] = state.range(0) > 0 ? static_cast<double>(fs::file_size(pristine, ec)) / (1 << 20) : 0;
}
BENCHMARK(AddOneFileToArchive)->ArgName("entries_present")->DenseRange(0, 7)->Unit(benchmark::kMillisecond);

// The whole archive of a made-up crash of 100 MiB under a mail size limit:
// none, one the archive fits (the same work as none), and the default, under
// which each minidump (about 17 MB deflated) passes the limit alone and is
// given up once its deflated data passes it. The processor time is the
// whole process's, the deflate threads' included.
void ArchiveWithinLimit(benchmark::State& state)
{
    quietLogger();
    ScratchDirectory dir;
    if (!bench::writeCrashFiles(dir.path.string(), 100 << 20)) {
        state.SkipWithError("cannot write the crash files");
        return;
    }
    const fs::path previous = fs::current_path();
    fs::current_path(dir.path);
    const std::uint64_t limit = static_cast<std::uint64_t>(state.range(0)) * 1000000;
    std::size_t leftOut = 0;
    for (auto _ : state)
        leftOut = buildReportArchive(dir.file("report.zip"), limit).size();
    std::error_code ec;
    state.counters["MB_archive"] = static_cast<double>(fs::file_size(dir.file("report.zip"), ec)) / 1e6;
    state.counters["left_out"] = static_cast<double>(leftOut);
    fs::current_path(previous);
}
BENCHMARK(ArchiveWithinLimit)
    ->ArgName("limit_mb")
    ->Arg(0)
    ->Arg(100)
    ->Arg(14)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
