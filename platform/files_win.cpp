#include "platform/files.h"

#include <direct.h>
#include <share.h>
#include <stdio.h>
#include <windows.h>
#include <algorithm>
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

bool writeThrough(std::FILE* file, const std::string& text)
{
    // Through the stream, which turns each line end into CR LF.
    return std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
}

long long storedTextSize(const std::string& text)
{
    // Text mode writes "\n" as "\r\n".
    return static_cast<long long>(text.size() + std::count(text.begin(), text.end(), '\n'));
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
    // The ANSI call stops at MAX_PATH; the wide one does not. Ask it for the
    // length first and give the result in the code page the narrow file
    // calls use.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
        if (needed == 0)
            return false;
        std::vector<wchar_t> wide(needed + 1, L'\0');
        DWORD written = ::GetCurrentDirectoryW(static_cast<DWORD>(wide.size()), wide.data());
        if (written == 0)
            return false;
        if (written >= wide.size())
            continue;  // the directory changed between the two calls
        int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(written), nullptr, 0, nullptr,
                                          nullptr);
        if (bytes <= 0)
            return false;
        out.assign(static_cast<std::size_t>(bytes), '\0');
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(written), &out[0], bytes, nullptr, nullptr);
        return true;
    }
    return false;
}

} // namespace platform
