#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Asks the desktop to open url with its registered handler, the way the
// Windows shell does: a result above 32 means it was accepted, 32 or less
// is an error code.
std::intptr_t shellOpen(const std::string& url);

// The longest URL, in bytes, that shellOpen can hand the handler whole: what
// the system lets one program pass another, less room for the handler's own
// arguments.
std::size_t maxShellUrlLength();

} // namespace platform
