#pragma once

#include <string>

namespace platform {

// A loaded shared library; unloaded when the owner goes. A default or
// moved-from object is empty, and releasing it is harmless.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    // Windows DLL names are the portable spelling: "mapi32.dll" stands for
    // the Simple MAPI provider of whatever system this is.
    static DynamicLibrary open(const std::string& name);

    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // nullptr when the library is empty or lacks the symbol.
    void* symbol(const char* name) const;
    void release();
    explicit operator bool() const { return handle_ != nullptr; }

private:
    explicit DynamicLibrary(void* handle) : handle_(handle) {}
    void* handle_ = nullptr;
};

// Where the running executable lies; empty when it cannot be told.
std::string executableDirectory();

} // namespace platform
