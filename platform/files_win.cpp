#include "platform/files.h"

#include <direct.h>
#include <share.h>
#include <stdio.h>
#include <windows.h>
#include <algorithm>
#include <vector>

#include "platform/utf16_win.h"

namespace platform {

const char pathSeparator = '\\';

std::FILE* openSharedForWriting(const std::string& path)
{
    // Shared for reading and writing, so a user can open the log while a run goes on.
    return ::_wfsopen(toWide(path).c_str(), L"w", _SH_DENYNO);
}

std::FILE* openFile(const std::string& path, const char* mode)
{
    return ::_wfopen(toWide(path).c_str(), toWide(mode).c_str());
}

bool removeFile(const std::string& path)
{
    return ::_wremove(toWide(path).c_str()) == 0;
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
    return ::_wmkdir(toWide(path).c_str()) == 0;
}

bool localTime(std::time_t t, std::tm& out)
{
    return ::localtime_s(&out, &t) == 0;
}

bool currentDirectory(std::string& out)
{
    // The ANSI call stops at MAX_PATH and, where the system ignores our
    // UTF-8 code page, loses every character outside the user's one.
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
        out = fromWide(wide.data(), written);
        return !out.empty();
    }
    return false;
}

} // namespace platform
