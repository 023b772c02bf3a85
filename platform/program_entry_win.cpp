#include "platform/program_entry.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/scoped_handle.h"
#include "platform/utf16_win.h"

// The wide entry point of a GUI program, which both MinGW (with -municode)
// and MSVC accept: the narrow one would hand over the command line in the
// ANSI code page, which loses characters where the system ignores the
// manifest's UTF-8.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    const platform::ScopedPointer<LPWSTR, &::LocalFree> wide(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    if (!wide)
        argc = 0;
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(platform::fromWide(wide.get()[i], std::wcslen(wide.get()[i])));
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    return programMain(argc, argv.data());
}
