#include "platform/dynamic_library.h"

namespace platform {

// The system's own loader, in dynamic_library_<os>.cpp.
void* openLibraryHandle(const std::string& name);
void* findLibrarySymbol(void* handle, const char* name);
void closeLibraryHandle(void* handle);

DynamicLibrary DynamicLibrary::open(const std::string& name)
{
    return DynamicLibrary(openLibraryHandle(name));
}

void* DynamicLibrary::symbol(const char* name) const
{
    return handle_ ? findLibrarySymbol(handle_, name) : nullptr;
}

void DynamicLibrary::release()
{
    if (handle_)
        closeLibraryHandle(handle_);
    handle_ = nullptr;
}

DynamicLibrary::~DynamicLibrary() { release(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(other.handle_)
{
    other.handle_ = nullptr;
}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept
{
    if (this != &other) {
        release();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

} // namespace platform
