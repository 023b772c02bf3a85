#include "tests/support/program_run.h"

#include <chrono>
#include <filesystem>

#include "platform/process.h"
#include "tests/support/time_stamp.h"

namespace fs = std::filesystem;

namespace testing_support {

const std::string logStarted = " [MAIN:INFO] Pellicor started.";
const std::string logFinished = " [MAIN:INFO] Pellicor finished.";
const std::string logMailtoFallback = " [MAIN:WARN] MAPI error report failed. Trying mailto.";

std::string issueXml(const std::string& mailAddress, const std::string& subject, const std::string& body,
                     const std::string& attachZip)
{
    const auto element = [](const std::string& name, const std::string& text) {
        std::string escaped;
        for (const char c : text)
            escaped += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
        return "<" + name + ">" + escaped + "</" + name + ">";
    };
    return "<IssueReport>" + element("MailAddress", mailAddress) + element("Subject", subject)
           + (body.empty() ? "" : element("Body", body)) + (attachZip.empty() ? "" : element("AttachZip", attachZip))
           + "</IssueReport>";
}

ProgramSandbox::ProgramSandbox() : ProgramSandbox(PELLICOR_EXE) {}

ProgramSandbox::ProgramSandbox(const std::string& original)
    : bin_(root_.file("bin")), work_(root_.file("work")), standIns_(root_.file("stand-ins"))
{
    fs::create_directory(fs::u8path(bin_));
    fs::create_directory(fs::u8path(work_));
    fs::create_directory(fs::u8path(standIns_));
    const fs::path program = fs::u8path(original);
    program_ = (fs::u8path(bin_) / program.filename()).u8string();
    fs::copy_file(program, fs::u8path(program_));
    setEnvironment("PELLICOR_REVEAL_ARCHIVE", "0");
}

void ProgramSandbox::addProvider(const std::string& libraryPath)
{
    fs::copy_file(fs::u8path(libraryPath), fs::u8path(bin_) / PROVIDER_FILE_NAME, fs::copy_options::overwrite_existing);
}

void ProgramSandbox::addStandIn(const std::string& name, const std::string& script)
{
    const std::string path = (fs::u8path(standIns_) / fs::u8path(name)).u8string();
    writeFile(path, script);
    fs::permissions(fs::u8path(path), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

void ProgramSandbox::setEnvironment(const std::string& name, const std::string& value)
{
    for (auto& entry : environment_) {
        if (entry.first == name) {
            entry.second = value;
            return;
        }
    }
    environment_.emplace_back(name, value);
}

std::string ProgramSandbox::workFile(const std::string& name) const
{
    return (fs::u8path(work_) / fs::u8path(name)).u8string();
}

platform::ProcessOptions ProgramSandbox::processOptions() const
{
    platform::ProcessOptions options;
    options.workingDirectory = work_;
    for (const std::string& entry : platform::currentEnvironment()) {
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& own : environment_)
            replaced = replaced || own.first == name;
        if (replaced)
            continue;
        if (name == "PATH")
            options.environment.push_back("PATH=" + standIns_ + platform::pathListSeparator + entry.substr(5));
        else
            options.environment.push_back(entry);
    }
    for (const auto& [name, value] : environment_)
        options.environment.push_back(name + "=" + value);
    options.standardError = root_.file("stderr.txt");
    // Not the runner's pipe: a file manager the run leaves open would hold it.
    options.standardOutput = root_.file("stdout.txt");
    return options;
}

std::vector<std::string> ProgramSandbox::commandLine(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> argv{program_};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return argv;
}

RunResult ProgramSandbox::run(const std::vector<std::string>& arguments)
{
    const platform::ProcessOptions options = processOptions();
    std::error_code ignored;
    std::filesystem::remove(fs::u8path(options.standardError), ignored);
    platform::ProcessOutcome outcome = platform::runProcess(commandLine(arguments), std::chrono::seconds(60), options);

    RunResult result;
    result.started = outcome.status == platform::ProcessOutcome::Exited;
    result.exitCode = outcome.exitCode;
    result.standardError = readFile(options.standardError);
    readLog(result);
    return result;
}

void ProgramSandbox::readLog(RunResult& result) const
{
    // A test may put a directory in the log's place.
    std::error_code ec;
    if (fs::is_regular_file(fs::u8path(workFile("Pellicor.log")), ec))
        result.rawLog = readFile(workFile("Pellicor.log"));
    // A line keeps its date when it is not the local date and time of a
    // second since the sandbox was made, so that a test shows it.
    const std::size_t stampSize = 19;
    const std::string mailClient = " [MAIN:INFO] Mail client offered by the desktop: ";
    for (const std::string& line : splitLines(result.rawLog)) {
        const std::string stamp = line.substr(0, stampSize);
        if (line.size() > stampSize && line[stampSize] == ' '
            && stamp == localStampSince(stamp, created_, "%d-%m-%Y %H:%M:%S"))
            result.log.push_back(line.substr(stampSize + 1));
        else
            result.log.push_back(line);
        // Only the first: a second one stays in sight.
        if (result.mailClient.empty() && result.log.back().rfind(mailClient, 0) == 0) {
            result.mailClient = result.log.back().substr(mailClient.size());
            result.log.pop_back();
        }
    }
}

bool isFailureStatus(int exitCode)
{
    // -1 from main: 255 where statuses are one byte, all bits set where they are 32.
    return exitCode != 0 && (exitCode & 0xFF) == 0xFF;
}

} // namespace testing_support
