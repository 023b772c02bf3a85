#include "platform/desktop_mail_client.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/private_directory.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace platform {

std::string desktopMailClient()
{
    std::error_code ec;
    const std::string scratch = makePrivateDirectory(fs::temp_directory_path(ec).string());
    if (scratch.empty())
        return {};
    ProcessOptions options;
    options.standardOutput = scratch + "/handler";
    const ProcessOutcome outcome =
        runProcess({"xdg-mime", "query", "default", "x-scheme-handler/mailto"}, std::chrono::seconds(10), options);
    std::string id;
    if (outcome.status == ProcessOutcome::Exited && outcome.exitCode == 0) {
        std::ifstream in(options.standardOutput);
        std::getline(in, id);
    }
    fs::remove_all(scratch, ec);
    const auto first = id.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return id.substr(first, id.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace platform
