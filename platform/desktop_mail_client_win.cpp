#include "platform/desktop_mail_client.h"

#include <windows.h>

#include <type_traits>

#include "platform/scoped_handle.h"
#include "platform/utf16_win.h"

namespace platform {
namespace {

using RegistryKey = ScopedPointer<std::remove_pointer_t<HKEY>, &::RegCloseKey>;

// The default value of Software\Clients\Mail under root; empty when unset.
std::string defaultMailClient(HKEY root)
{
    wchar_t name[1024];
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, L"Software\\Clients\\Mail", 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return {};
    const RegistryKey key(opened);
    const LSTATUS status =
        ::RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    // The stored string need not end in a NUL.
    std::size_t length = size / sizeof(wchar_t);
    while (length > 0 && name[length - 1] == L'\0')
        --length;
    return fromWide(name, length);
}

} // namespace

std::string desktopMailClient()
{
    const std::string user = defaultMailClient(HKEY_CURRENT_USER);
    return user.empty() ? defaultMailClient(HKEY_LOCAL_MACHINE) : user;
}

} // namespace platform
