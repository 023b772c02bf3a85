#include "platform/dynamic_library.h"

#include <windows.h>
#include <vector>

namespace platform {

std::string executableDirectory()
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            std::string path(buffer.data(), n);
            std::string::size_type slash = path.find_last_of("\\/");
            return slash == std::string::npos ? std::string() : path.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

void* openLibraryHandle(const std::string& name)
{
    return reinterpret_cast<void*>(::LoadLibraryA(name.c_str()));
}

void* findLibrarySymbol(void* handle, const char* name)
{
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle), name));
}

void closeLibraryHandle(void* handle)
{
    ::FreeLibrary(static_cast<HMODULE>(handle));
}

} // namespace platform
