#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

using Lines = std::vector<std::string>;

// The lines a run logs first and last, after their date and time, and the
// one that starts the mailto route.
extern const std::string logStarted;
extern const std::string logFinished;
extern const std::string logMailtoFallback;

// An issue file with these fields, each escaped as XML needs; an empty body
// or attachment is left out.
std::string issueXml(const std::string& mailAddress, const std::string& subject, const std::string& body = "",
                     const std::string& attachZip = "");

// What one run of the program left behind.
struct RunResult {
    bool started = false;
    int exitCode = -1;
    // Pellicor.log, each line without its date and time, less the line that
    // names the desktop's mail client, which differs from desk to desk.
    std::vector<std::string> log;
    // What that line named; empty when there was none.
    std::string mailClient;
    std::string rawLog;
    std::string standardError;
};

// A copy of the program in a fresh directory of its own, so each test
// chooses what lies beside it (a Simple MAPI provider or none), and a
// working directory to run it in. Its runs show no archive in a file
// manager unless a test sets PELLICOR_REVEAL_ARCHIVE.
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
