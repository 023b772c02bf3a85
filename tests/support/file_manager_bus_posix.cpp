#include "tests/support/file_manager_bus.h"

#include <chrono>
#include <filesystem>
#include <signal.h>

#include <gtest/gtest.h>

#include "platform/process.h"

namespace testing_support {

FileManagerBus::FileManagerBus(FileManager fileManager)
    : address_(fileManager == FileManager::NoBus ? "" : "unix:path=" + dir_.file("socket"))
{
    if (address_.empty())
        return;
    std::filesystem::create_directory(dir_.file("services"));
    writeFile(dir_.file("bus.conf"), "<busconfig><type>session</type><listen>" + address_
                                         + "</listen><auth>EXTERNAL</auth><servicedir>" + dir_.file("services")
                                         + "</servicedir><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
    if (fileManager != FileManager::None) {
        const char* mode = fileManager == FileManager::Answering ? "answer"
                           : fileManager == FileManager::Refusing ? "refuse"
                                                                   : "silent";
        writeFile(dir_.file("services/org.freedesktop.FileManager1.service"),
                  "[D-BUS Service]\nName=org.freedesktop.FileManager1\nExec=" FILE_MANAGER_RECORDER " "
                      + dir_.file("calls") + " " + mode + "\n");
    }
    // The daemon listens before it forks, so the bus is there once this returns.
    platform::ProcessOptions options;
    options.standardOutput = dir_.file("pid");
    const platform::ProcessOutcome outcome = platform::runProcess(
        {"dbus-daemon", "--config-file=" + dir_.file("bus.conf"), "--fork", "--print-pid=1"}, std::chrono::seconds(30),
        options);
    const std::string pid = readFile(dir_.file("pid"));
    if (outcome.status != platform::ProcessOutcome::Exited || outcome.exitCode != 0 || pid.empty()) {
        ADD_FAILURE() << "dbus-daemon did not start (scripts/install-deps.sh installs it)";
        return;
    }
    pid_ = std::stoi(pid);
}

FileManagerBus::~FileManagerBus()
{
    // The stand-in ends with its connection to the bus.
    if (pid_ > 0)
        ::kill(pid_, SIGTERM);
}

void FileManagerBus::serve(ProgramSandbox& sandbox) const
{
    sandbox.setEnvironment("PELLICOR_REVEAL_ARCHIVE", "1");
    sandbox.setEnvironment("DBUS_SESSION_BUS_ADDRESS", address_);
    sandbox.setEnvironment("XDG_RUNTIME_DIR", dir_.path());
}

std::vector<std::string> FileManagerBus::calls() const
{
    return fileExists(dir_.file("calls")) ? splitLines(readFile(dir_.file("calls"))) : std::vector<std::string>();
}

} // namespace testing_support
