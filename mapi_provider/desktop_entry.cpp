#include "mapi_provider/desktop_entry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/desktop_mail_client.h"

namespace fs = std::filesystem;

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::vector<std::string> splitList(const std::string& list)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = list.find(':', start);
        const std::string part = list.substr(start, end - start);
        // Relative entries are invalid and to be ignored.
        if (!part.empty() && part[0] == '/')
            parts.push_back(part);
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

std::vector<std::string> dataDirectories()
{
    std::vector<std::string> dirs;
    const std::string dataHome = environment("XDG_DATA_HOME");
    const std::string home = environment("HOME");
    if (!dataHome.empty() && dataHome[0] == '/')
        dirs.push_back(dataHome);
    else if (!home.empty())
        dirs.push_back(home + "/.local/share");
    std::vector<std::string> system = splitList(environment("XDG_DATA_DIRS"));
    if (system.empty())
        system = {"/usr/local/share", "/usr/share"};
    dirs.insert(dirs.end(), system.begin(), system.end());
    return dirs;
}

std::string trimmed(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

// The escapes every string value of a desktop file may carry.
std::string unescapedValue(const std::string& value)
{
    std::string out;
    for (std::string::size_type i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: out += '\\'; out += value[i];
        }
    }
    return out;
}

} // namespace

std::string defaultMailtoHandler()
{
    const std::string id = platform::desktopMailClient();
    // An id names a file in an applications directory, never a path elsewhere.
    if (id.find('/') != std::string::npos || id.size() <= 8 || id.compare(id.size() - 8, 8, ".desktop") != 0)
        return {};
    return id;
}

std::string findDesktopFile(const std::string& id)
{
    if (id.empty())
        return {};
    for (const std::string& dir : dataDirectories()) {
        // "kde-kmail.desktop" may lie in applications/kde/kmail.desktop.
        std::string name = id;
        for (std::string::size_type dash = 0;; ++dash) {
            std::error_code ec;
            const fs::path candidate = fs::path(dir) / "applications" / name;
            if (fs::is_regular_file(candidate, ec))
                return candidate.string();
            dash = name.find('-', dash);
            if (dash == std::string::npos)
                break;
            name[dash] = '/';
        }
    }
    return {};
}

std::optional<std::vector<std::string>> splitExecLine(const std::string& value)
{
    std::vector<std::string> args;
    const std::string line = unescapedValue(value);
    std::string::size_type i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        std::string arg;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            if (line[i] != '"') {
                arg += line[i++];
                continue;
            }
            for (++i;; ++i) {
                if (i == line.size())
                    return std::nullopt;
                if (line[i] == '"') {
                    ++i;
                    break;
                }
                if (line[i] == '\\' && i + 1 < line.size() && std::string("\"`$\\").find(line[i + 1]) != std::string::npos)
                    ++i;
                arg += line[i];
            }
        }
        args.push_back(arg);
    }
    return args;
}

std::optional<DesktopEntry> readDesktopEntry(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    DesktopEntry entry;
    entry.path = path;
    std::string exec, line;
    bool inEntry = false;
    bool hidden = false;
    while (std::getline(in, line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            // Actions and other groups have Exec lines of their own.
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inEntry || equals == std::string::npos)
            continue;
        const std::string key = trimmed(line.substr(0, equals));
        const std::string value = trimmed(line.substr(equals + 1));
        if (key == "Exec")
            exec = value;
        else if (key == "Name")
            entry.name = unescapedValue(value);
        else if (key == "Icon")
            entry.icon = unescapedValue(value);
        else if (key == "Hidden")
            hidden = value == "true";
    }
    std::optional<std::vector<std::string>> args = splitExecLine(exec);
    if (hidden || !args || args->empty())
        return std::nullopt;
    entry.exec = std::move(*args);
    return entry;
}
