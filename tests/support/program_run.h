#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

// What one run of the program left behind.
struct RunResult {
    bool started = false;
    int exitCode = -1;
    // Pellicor.log, each line without its date and time.
    std::vector<std::string> log;
    std::string rawLog;
    std::string standardError;
};

// A copy of the program in a fresh directory of its own, so each test
// chooses what lies beside it (a Simple MAPI provider or none), and a
// working directory to run it in.
class ProgramSandbox {
public:
    ProgramSandbox();
    // The same around another build of the program.
    explicit ProgramSandbox(const std::string& program);

    // Puts a provider library beside the program under the name the loader looks for.
    void addProvider(const std::string& libraryPath);
    // Puts an executable script first on PATH under name.
    void addStandIn(const std::string& name, const std::string& script);
    void setEnvironment(const std::string& name, const std::string& value);

    RunResult run(const std::vector<std::string>& arguments);

    // What run() starts, for a test that starts the program itself.
    std::vector<std::string> commandLine(const std::vector<std::string>& arguments) const;
    platform::ProcessOptions processOptions() const;
    // Fills the log fields of result from the work directory's Pellicor.log.
    void readLog(RunResult& result) const;
    // Runs in dir from now on instead of the sandbox's own work directory.
    void setWorkDir(const std::string& dir) { work_ = dir; }

    const std::string& workDir() const { return work_; }
    std::string workFile(const std::string& name) const;
    const std::string& standInDir() const { return standIns_; }

private:
    std::time_t created_ = std::time(nullptr);
    TempDir root_;
    std::string bin_;
    std::string work_;
    std::string standIns_;
    std::string program_;
    std::vector<std::pair<std::string, std::string>> environment_;
};

// True when a program's exit status is the one of main() returning -1.
bool isFailureStatus(int exitCode);

} // namespace testing_support
