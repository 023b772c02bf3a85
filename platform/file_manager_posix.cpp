#include "platform/file_manager.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/private_directory.h"
#include "platform/process.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace platform {
namespace {

// How long the run may wait for a file manager's answer; the folder opener
// gets at least the floor below on top.
constexpr auto answerTimeout = 2000ms;
constexpr auto openerFloor = 500ms;
// dbus-send gives up a little before we stop waiting for it, so it ends by itself.
constexpr auto replyMargin = 100ms;

// A file: URI (RFC 8089) of an absolute path: every byte but the unreserved
// ones and "/" percent-encoded. Sub-delimiters are escaped too, which means
// the same to every file manager and keeps "," away from dbus-send, which
// splits its array arguments there.
std::string fileUri(const std::string& absolutePath)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : absolutePath) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') || byte == '-'
            || byte == '.' || byte == '_' || byte == '~' || byte == '/') {
            uri += c;
        } else {
            uri += '%';
            uri += hex[byte >> 4];
            uri += hex[byte & 0x0F];
        }
    }
    return uri;
}

// Where dbus-send would find the session bus, without letting it start one
// of its own through X11 autolaunch.
bool hasSessionBus()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0')
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    return runtime != nullptr && *runtime != '\0' && fs::is_socket(fs::path(runtime) / "bus", ec);
}

std::string firstLineOf(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Asks the file manager on the session bus to show uri, as Nautilus, Nemo,
// Caja, Dolphin and Thunar offer; true once it has answered that it does.
bool askFileManager(const std::string& uri, std::chrono::milliseconds timeout, std::string& why)
{
    if (!hasSessionBus()) {
        why = "there is no session bus";
        return false;
    }
    std::error_code ec;
    const std::string scratch = makePrivateDirectory(fs::temp_directory_path(ec).string());
    ProcessOptions options;
    options.standardInput = "/dev/null";
    options.standardOutput = "/dev/null";
    options.standardError = scratch.empty() ? "/dev/null" : scratch + "/error";
    const auto replyTimeout = std::max(timeout - replyMargin, 1ms);
    const ProcessOutcome outcome =
        runProcess({"dbus-send", "--session", "--print-reply", "--reply-timeout=" + std::to_string(replyTimeout.count()),
                    "--dest=org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                    "org.freedesktop.FileManager1.ShowItems", "array:string:" + uri, "string:"},
                   timeout, options);
    const std::string error = scratch.empty() ? std::string() : firstLineOf(options.standardError);
    if (!scratch.empty())
        fs::remove_all(scratch, ec);
    switch (outcome.status) {
    case ProcessOutcome::NotStarted:
        why = "dbus-send cannot be started";
        return false;
    case ProcessOutcome::StillRunning:
        why = "no file manager answered in time";
        return false;
    case ProcessOutcome::Exited:
        break;
    }
    if (outcome.exitCode == 0)
        return true;
    why = "no file manager took it (" + (error.empty() ? "dbus-send status " + std::to_string(outcome.exitCode) : error)
          + ")";
    return false;
}

} // namespace

FileShown showFileInFileManager(const std::string& path, std::string& why)
{
    const auto deadline = std::chrono::steady_clock::now() + answerTimeout;
    std::error_code ec;
    const fs::path file = fs::absolute(path, ec).lexically_normal();
    if (ec) {
        why = "its full path is unknown: " + ec.message();
        return FileShown::NotShown;
    }
    if (askFileManager(fileUri(file.string()), answerTimeout, why))
        return FileShown::Selected;

    // The folder's own handler, which may stay until the user closes it:
    // one still running after the wait has taken the folder.
    const std::string folder = file.parent_path().string();
    ProcessOptions quiet;
    quiet.standardInput = "/dev/null";
    quiet.standardOutput = "/dev/null";
    quiet.standardError = "/dev/null";
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const ProcessOutcome outcome = runProcess({"xdg-open", folder}, std::max(left, openerFloor), quiet);
    if (outcome.status == ProcessOutcome::StillRunning
        || (outcome.status == ProcessOutcome::Exited && outcome.exitCode == 0))
        return FileShown::FolderOpened;
    why += outcome.status == ProcessOutcome::NotStarted
               ? "; xdg-open cannot be started"
               : "; xdg-open could not open " + folder + " (status " + std::to_string(outcome.exitCode) + ")";
    return FileShown::NotShown;
}

} // namespace platform
