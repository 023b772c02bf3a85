#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Asks the desktop to open url with its registered handler, the way the
// Windows shell does: a result above 32 means it was accepted, 32 or less
// is an error code.
std::intptr_t shellOpen(const std::string& url);

} // namespace platform
