#pragma once

#include <string>

namespace platform {

enum class FileShown {
    Selected,      // a file manager shows the file's folder with the file selected
    FolderOpened,  // no file manager could select it: its folder was opened instead
    NotShown,
};

// Puts an existing file in front of the user in the desktop's file manager,
// selected, so it can be dragged elsewhere; where that cannot be done, opens
// the file's folder. path is UTF-8, relative paths count from the current
// directory. Returns after a few seconds at most, without waiting for the
// file manager to go; when the result is not Selected, why says what failed.
FileShown showFileInFileManager(const std::string& path, std::string& why);

} // namespace platform
