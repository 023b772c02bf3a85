#include "platform/dynamic_library.h"

namespace platform {

// The system's own loader, in dynamic_library_<os>.cpp.
void* openLibraryHandle(const std::string& name);
void* findLibrarySymbol(void* handle, const char* name);

DynamicLibrary DynamicLibrary::open(const std::string& name)
{
    return DynamicLibrary(openLibraryHandle(name));
}

void* DynamicLibrary::symbol(const char* name) const
{
    return handle_ ? findLibrarySymbol(handle_.get(), name) : nullptr;
}

} // namespace platform
