// A host logging to a file with every line flushed, as Pellicor's logger
// and as spdlog's basic_file_sink with flush_on(trace), both writing the
// same lines in the same layout; and what a line below the level costs.
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include "pellicor/logging.h"

namespace fs = std::filesystem;

namespace {

const int moduleNet = loggerModule("NET ");
const std::string line = "Fetched tile 1234-567 of RADAR in 153 ms, 48213 bytes";
const std::string lineWithEnd = line + "\n";

fs::path scratch;
std::unique_ptr<Logger> pellicor;
std::unique_ptr<LoggerFileWriter> pellicorWriter;
std::shared_ptr<spdlog::logger> peer;

void makeScratch()
{
    std::string pattern = (fs::temp_directory_path() / "pellicor-logging-bench.XXXXXX").string();
    scratch = mkdtemp(&pattern[0]);
}

void removeScratch()
{
    std::error_code ec;
    fs::remove_all(scratch, ec);
}

void setUpPellicor(const benchmark::State&)
{
    makeScratch();
    pellicor = std::make_unique<Logger>();
    pellicorWriter = std::make_unique<LoggerFileWriter>(pellicor.get(), (scratch / "pellicor.log").string());
    pellicor->addWriter(pellicorWriter.get());
}

void tearDownPellicor(const benchmark::State&)
{
    pellicor.reset();
    pellicorWriter.reset();
    removeScratch();
}

void setUpPeer(const benchmark::State&)
{
    makeScratch();
    peer = spdlog::basic_logger_mt("bench", (scratch / "spdlog.log").string(), true);
    // The layout of Pellicor's lines, "09-12-2024 22:18:40  [NET :INFO] text",
    // byte for byte but for the case of spdlog's level name.
    peer->set_pattern("%d-%m-%Y %H:%M:%S  [NET :%l] %v");
    peer->flush_on(spdlog::level::trace);
}

void tearDownPeer(const benchmark::State&)
{
    spdlog::drop("bench");
    peer.reset();
    removeScratch();
}

// A line at level 6 is written; at level 8 it is below the level in force
// and only the check runs.
void PellicorLog(benchmark::State& state, int level)
{
    for (auto _ : state) {
        if (pellicor->isEnabled(moduleNet, level))
            pellicor->log(lineWithEnd, moduleNet, level);
    }
    state.SetItemsProcessed(state.iterations());
}

void SpdlogLog(benchmark::State& state, spdlog::level::level_enum level)
{
    for (auto _ : state)
        peer->log(level, line);
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(PellicorLog, written, 6)
    ->Setup(setUpPellicor)->Teardown(tearDownPellicor)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK_CAPTURE(SpdlogLog, written, spdlog::level::info)
    ->Setup(setUpPeer)->Teardown(tearDownPeer)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK_CAPTURE(PellicorLog, below_level, 8)
    ->Setup(setUpPellicor)->Teardown(tearDownPellicor)->Threads(1)->Threads(4)->UseRealTime();
BENCHMARK_CAPTURE(SpdlogLog, below_level, spdlog::level::debug)
    ->Setup(setUpPeer)->Teardown(tearDownPeer)->Threads(1)->Threads(4)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
