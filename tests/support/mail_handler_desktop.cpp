#include "tests/support/mail_handler_desktop.h"

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace testing_support {

MailHandlerDesktop::MailHandlerDesktop(const std::string& root)
    : root(root), bin(root + "/bin"), home(root + "/home"), cache(root + "/cache"), record(root + "/args")
{
    for (const char* dir : {"/bin", "/home", "/config", "/etc-xdg", "/data/applications", "/system"})
        fs::create_directories(root + dir);
}

void MailHandlerDesktop::setHandler(const std::string& id, const std::string& exec, const std::string& name) const
{
    writeFile(root + "/data/applications/" + id,
              "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec
                  + "\nMimeType=x-scheme-handler/mailto;\n");
    writeFile(root + "/config/mimeapps.list", "[Default Applications]\nx-scheme-handler/mailto=" + id + "\n");
}

void MailHandlerDesktop::addRecordingProgram(const std::string& name, const std::string& thenDo) const
{
    const std::string path = bin + "/" + name;
    writeFile(path, "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + record + "'\n" + thenDo + "\n");
    fs::permissions(path, fs::perms::owner_all);
}

std::vector<std::string> MailHandlerDesktop::recordedArguments() const
{
    std::vector<std::string> args;
    const std::string bytes = fileExists(record) ? readFile(record) : "";
    for (std::size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
        args.push_back(bytes.substr(start, end - start));
    return args;
}

bool MailHandlerDesktop::recorded() const
{
    return fileExists(record);
}

std::vector<std::pair<std::string, std::string>> MailHandlerDesktop::environment() const
{
    // A desktop xdg-utils knows by name, so they ask neither D-Bus nor X.
    return {{"PATH", bin + ":/usr/bin:/bin"},
            {"HOME", home},
            {"XDG_CONFIG_HOME", root + "/config"},
            {"XDG_CONFIG_DIRS", root + "/etc-xdg"},
            {"XDG_DATA_HOME", root + "/data"},
            {"XDG_DATA_DIRS", root + "/system"},
            {"XDG_CACHE_HOME", cache},
            {"XDG_CURRENT_DESKTOP", "X-Generic"},
            {"DISPLAY", ":99"},
            {"BROWSER", ""},
            {"MAILER", ""},
            {"XDG_UTILS_DEBUG_LEVEL", ""}};
}

} // namespace testing_support
