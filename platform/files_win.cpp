#include "platform/files.h"

#include <direct.h>
#include <share.h>
#include <stdio.h>
#include <windows.h>
#include <vector>

namespace platform {

const char pathSeparator = '\\';

std::FILE* openSharedForWriting(const std::string& path)
{
    // Shared for reading and writing, so a user can open the log while a run goes on.
    return ::_fsopen(path.c_str(), "w", _SH_DENYNO);
}

long long writePosition(std::FILE* file)
{
    return file ? static_cast<long long>(::_ftelli64(file)) : -1;
}

bool makeDirectory(const std::string& path)
{
    return ::_mkdir(path.c_str()) == 0;
}

bool localTime(std::time_t t, std::tm& out)
{
    return ::localtime_s(&out, &t) == 0;
}

bool currentDirectory(std::string& out)
{
    // Ask for the length first: the directory may be longer than MAX_PATH.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD needed = ::GetCurrentDirectoryA(0, nullptr);
        if (needed == 0)
            return false;
        std::vector<char> buffer(needed + 1, '\0');
        DWORD written = ::GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
        if (written == 0)
            return false;
        if (written < buffer.size()) {
            out.assign(buffer.data(), written);
            return true;
        }
        // The directory changed between the two calls; ask again.
    }
    return false;
}

} // namespace platform
