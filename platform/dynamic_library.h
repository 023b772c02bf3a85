#pragma once

#include <string>

#include "platform/scoped_handle.h"

namespace platform {

// A loaded library's handle, freed by the system's own unloader.
struct LoadedLibraryTraits {
    using Handle = void*;
    static constexpr Handle invalid() noexcept { return nullptr; }
    static void free(Handle handle) noexcept;  // in dynamic_library_<os>.cpp
};

// A loaded shared library; unloaded when the owner goes. A default or
// moved-from object is empty, and releasing it is harmless.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    // Windows DLL names are the portable spelling: "mapi32.dll" stands for
    // the Simple MAPI provider of whatever system this is.
    static DynamicLibrary open(const std::string& name);

    // nullptr when the library is empty or lacks the symbol.
    void* symbol(const char* name) const;
    void release() { handle_.reset(); }
    explicit operator bool() const { return static_cast<bool>(handle_); }

private:
    explicit DynamicLibrary(void* handle) : handle_(handle) {}
    ScopedHandle<LoadedLibraryTraits> handle_;
};

// Where the running executable lies; empty when it cannot be told.
std::string executableDirectory();

} // namespace platform
