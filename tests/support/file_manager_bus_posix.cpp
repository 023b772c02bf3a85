#include "tests/support/file_manager_bus.h"

#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/process.h"

namespace testing_support {

FileManagerBus::FileManagerBus(FileManager fileManager)
{
    if (fileManager == FileManager::NoBus)
        return;
    std::filesystem::create_directory(dir_.file("services"));
    writeFile(dir_.file("bus.conf"), "<busconfig><type>session</type><listen>unix:path=" + dir_.file("socket")
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
    // The daemon tells its address once it listens; the stand-in ends with its connection.
    daemon_ = BackgroundProcess::start({"dbus-daemon", "--config-file=" + dir_.file("bus.conf"), "--nofork",
                                        "--print-address=3"},
                                       platform::currentEnvironment(), dir_.file("bus.log"));
    address_ = daemon_.readLine(std::chrono::seconds(30));
    if (address_.empty())
        ADD_FAILURE() << "dbus-daemon did not start (scripts/install-deps.sh installs it)";
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
