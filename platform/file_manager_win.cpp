#include "platform/file_manager.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/scoped_handle.h"
#include "platform/utf16_win.h"

namespace platform {
namespace {

// COM on the calling thread for the object's life, unless the thread has it
// already (in whichever mode: the shell call works in both).
class ComApartment {
public:
    ComApartment()
        : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
    {
    }
    ~ComApartment()
    {
        if (initialised_)
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    const bool initialised_;
};

using ItemIdList = ScopedPointer<ITEMIDLIST, &::ILFree>;

std::string hex(unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", value);
    return text;
}

std::wstring fullPath(const std::wstring& path)
{
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return {};
    std::wstring full(needed, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (written == 0 || written >= needed)
        return {};
    full.resize(written);
    return full;
}

} // namespace

FileShown showFileInFileManager(const std::string& path, std::string& why)
{
    std::wstring wide;
    if (!toWideStrictly(path, wide)) {
        why = "its path is no UTF-8";
        return FileShown::NotShown;
    }
    const std::wstring full = fullPath(wide);
    if (full.empty()) {
        why = "its full path is unknown (error " + std::to_string(::GetLastError()) + ")";
        return FileShown::NotShown;
    }

    const ComApartment com;
    // A single absolute item and no children: Explorer opens its folder and selects it.
    const ItemIdList item(::ILCreateFromPathW(full.c_str()));
    if (!item) {
        why = "the shell has no item for it";
    } else {
        const HRESULT result = ::SHOpenFolderAndSelectItems(item.get(), 0, nullptr, 0);
        if (result == S_OK)
            return FileShown::Selected;
        // Wine's answer: it opened the folder, and selected nothing.
        if (SUCCEEDED(result)) {
            why = "SHOpenFolderAndSelectItems opened the folder only (" + hex(static_cast<unsigned long>(result)) + ")";
            return FileShown::FolderOpened;
        }
        why = "SHOpenFolderAndSelectItems failed with " + hex(static_cast<unsigned long>(result));
    }

    const std::wstring folder = full.substr(0, full.find_last_of(L"\\/"));
    const auto opened = reinterpret_cast<std::intptr_t>(
        ::ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened > 32)
        return FileShown::FolderOpened;
    why += "; opening " + fromWide(folder) + " failed with " + std::to_string(opened);
    return FileShown::NotShown;
}

} // namespace platform
