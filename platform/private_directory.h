#pragma once

#include <string>

namespace platform {

// Creates a directory of a fresh, unguessable name inside parent that only
// this user may enter. Its path, or empty when it cannot be made.
std::string makePrivateDirectory(const std::string& parent);

} // namespace platform
