#pragma once

#include <optional>
#include <string>
#include <vector>

// What the provider needs of one application's .desktop file.
struct DesktopEntry {
    std::string path;
    std::string name;
    std::string icon;
    // The Exec line as arguments, its quoting and escapes undone; field
    // codes such as %u are left for the caller.
    std::vector<std::string> exec;
};

// The desktop's default handler of x-scheme-handler/mailto as xdg-mime names
// it (a desktop file id such as "thunderbird.desktop"); empty when there is none.
std::string defaultMailtoHandler();

// The file behind a desktop file id, looked up in XDG_DATA_HOME and
// XDG_DATA_DIRS; empty when none is there.
std::string findDesktopFile(const std::string& id);

// The [Desktop Entry] group of the file at path; nothing when the file cannot
// be read, is hidden, or has no usable Exec line.
std::optional<DesktopEntry> readDesktopEntry(const std::string& path);

// Splits an Exec value into arguments the way desktop files quote them
// (double quotes and backslash escapes); nothing when a quote is left open.
std::optional<std::vector<std::string>> splitExecLine(const std::string& value);
