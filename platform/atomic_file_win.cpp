#include "platform/atomic_file.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "platform/handle_win.h"
#include "platform/utf16_win.h"

namespace platform {

namespace {

std::string describeLastError(const std::string& what)
{
    return what + ": Windows error " + std::to_string(::GetLastError());
}

bool writeAll(HANDLE file, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error)
{
    static std::atomic<unsigned> counter{0};

    std::string temporary;
    ScopedKernelHandle file;
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter++);
        HANDLE created = ::CreateFileW(toWide(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created != INVALID_HANDLE_VALUE) {
            file.reset(created);
        } else if (::GetLastError() != ERROR_FILE_EXISTS) {
            error = describeLastError("cannot create " + temporary);
            return false;
        }
    }
    if (!file) {
        error = "no free temporary name beside " + path;
        return false;
    }

    if (!writeAll(file.get(), bytes) || !::FlushFileBuffers(file.get())) {
        error = describeLastError("cannot write " + temporary);
        file.reset();
        ::DeleteFileW(toWide(temporary).c_str());
        return false;
    }
    file.reset();
    // Unlike rename(), this replaces a file that exists.
    if (!::MoveFileExW(toWide(temporary).c_str(), toWide(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = describeLastError("cannot replace " + path);
        ::DeleteFileW(toWide(temporary).c_str());
        return false;
    }
    return true;
}

} // namespace platform
