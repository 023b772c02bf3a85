#pragma once

#include <string>

namespace platform {

// Gives path the contents bytes in one step: they are written to a new file
// beside path and reach the disk before that file takes path's name, so a
// reader sees the old file or the new one, never a part. On failure path is
// as it was, no temporary file is left behind, and error says why.
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

} // namespace platform
