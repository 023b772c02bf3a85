#include "platform/dynamic_library.h"

#include <windows.h>
#include <vector>

#include "platform/utf16_win.h"

namespace platform {

std::string executableDirectory()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            const std::string path = fromWide(buffer.data(), n);
            std::string::size_type slash = path.find_last_of("\\/");
            return slash == std::string::npos ? std::string() : path.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

void* openLibraryHandle(const std::string& name)
{
    return reinterpret_cast<void*>(::LoadLibraryW(toWide(name).c_str()));
}

void* findLibrarySymbol(void* handle, const char* name)
{
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle), name));
}

void LoadedLibraryTraits::free(void* handle) noexcept
{
    ::FreeLibrary(static_cast<HMODULE>(handle));
}

} // namespace platform
