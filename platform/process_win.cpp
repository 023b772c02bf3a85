#include "platform/process.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "platform/handle_win.h"
#include "platform/utf16_win.h"

namespace platform {
namespace {

// Owns one kernel handle.
// Quotes one argument so the child's C runtime splits it back out unchanged.
std::string quoteArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    for (std::string::size_type i = 0;; ++i) {
        std::string::size_type backslashes = 0;
        while (i < argument.size() && argument[i] == '\\') {
            ++backslashes;
            ++i;
        }
        if (i == argument.size()) {
            quoted.append(backslashes * 2, '\\');
            break;
        }
        if (argument[i] == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        quoted += argument[i];
    }
    quoted += '"';
    return quoted;
}

// The command line that hands the child each element of argv as one argument.
std::string commandLineOf(const std::vector<std::string>& argv)
{
    std::string line;
    for (const std::string& argument : argv)
        line += (line.empty() ? "" : " ") + quoteArgument(argument);
    return line;
}

// Waits at most timeout for the process to end.
ProcessOutcome waitForExit(HANDLE process, std::chrono::milliseconds timeout)
{
    ProcessOutcome outcome;
    const auto waitMs = timeout.count() < 0 ? 0 : static_cast<DWORD>(std::min<long long>(timeout.count(), INFINITE - 1));
    if (::WaitForSingleObject(process, waitMs) != WAIT_OBJECT_0) {
        outcome.status = ProcessOutcome::StillRunning;
        return outcome;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    outcome.status = ProcessOutcome::Exited;
    outcome.exitCode = static_cast<int>(code);
    return outcome;
}

HANDLE openInherited(const std::string& path, bool forWriting)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    if (forWriting) {
        return ::CreateFileW(toWide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    return ::CreateFileW(toWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

const char pathListSeparator = ';';

// The provider that watches a client's running instance exists only on Linux.
std::vector<std::intptr_t> processesNamed(const std::string&)
{
    return {};
}

bool processIsAlive(std::intptr_t)
{
    return false;
}

std::size_t longestArgument()
{
    // CreateProcess takes a command line of at most 32,767 UTF-16 units, its NUL included.
    return 32766;
}

std::vector<std::string> currentEnvironment()
{
    std::vector<std::string> result;
    LPWCH block = ::GetEnvironmentStringsW();
    if (block == nullptr)
        return result;
    for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1)
        result.push_back(fromWide(entry, std::wcslen(entry)));
    ::FreeEnvironmentStringsW(block);
    return result;
}

bool setEnvironmentVariable(const std::string& name, const std::string& value)
{
    // _wputenv_s keeps the C runtime's copy and the process's block alike,
    // and takes names and values outside the ANSI code page.
    return ::_wputenv_s(toWide(name).c_str(), toWide(value).c_str()) == 0;
}

ProcessOutcome runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                          const ProcessOptions& options)
{
    ProcessOutcome outcome;
    if (argv.empty())
        return outcome;

    std::wstring commandLine = toWide(commandLineOf(argv));

    std::wstring environment;
    for (const std::string& entry : options.environment)
        environment += toWide(entry) + L'\0';
    environment += L'\0';
    const std::wstring workingDirectory = toWide(options.workingDirectory);

    ScopedKernelHandle input, output, error;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const bool redirect = !options.standardInput.empty() || !options.standardOutput.empty()
                          || !options.standardError.empty();
    if (redirect) {
        auto pick = [](ScopedKernelHandle& own, const std::string& path, bool forWriting, DWORD standard) {
            if (path.empty())
                return ::GetStdHandle(standard);
            own.reset(openInherited(path, forWriting));
            return own.get();
        };
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = pick(input, options.standardInput, false, STD_INPUT_HANDLE);
        startup.hStdOutput = pick(output, options.standardOutput, true, STD_OUTPUT_HANDLE);
        startup.hStdError = pick(error, options.standardError, true, STD_ERROR_HANDLE);
        if ((!options.standardInput.empty() && !input) || (!options.standardOutput.empty() && !output)
            || (!options.standardError.empty() && !error))
            return outcome;
    }

    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, redirect ? TRUE : FALSE,
                          CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                          options.environment.empty() ? nullptr : &environment[0],
                          workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &process))
        return outcome;
    ScopedKernelHandle processHandle(process.hProcess);
    ScopedKernelHandle threadHandle(process.hThread);
    return waitForExit(processHandle.get(), timeout);
}

void StartedProcessTraits::free(std::intptr_t process) noexcept
{
    ::CloseHandle(reinterpret_cast<HANDLE>(process));
}

ProcessOutcome StartedProcess::waitFor(std::chrono::milliseconds timeout)
{
    if (!process_)
        return {};
    const ProcessOutcome outcome = waitForExit(reinterpret_cast<HANDLE>(process_.get()), timeout);
    if (outcome.status == ProcessOutcome::Exited)
        process_.reset();
    return outcome;
}

StartedProcess startProcess(const std::vector<std::string>& argv, std::string& error,
                            const std::vector<std::string>& variables)
{
    StartedProcess started;
    if (argv.empty() || argv[0].empty()) {
        error = "no program to start";
        return started;
    }
    const std::string commandLine = commandLineOf(argv);
    std::wstring program, wideCommandLine;
    if (!toWideStrictly(argv[0], program) || !toWideStrictly(commandLine, wideCommandLine)) {
        error = "cannot start " + argv[0] + ": its name or an argument is no UTF-8";
        return started;
    }
    // Names of variables are the same in any case on Windows.
    std::vector<std::wstring> environment;
    if (!variables.empty()) {
        for (const std::string& entry : currentEnvironment())
            environment.push_back(toWide(entry));
    }
    for (const std::string& variable : variables) {
        const std::wstring name = toWide(variable.substr(0, variable.find('=') + 1));
        environment.erase(std::remove_if(environment.begin(), environment.end(),
                                         [&](const std::wstring& entry) {
                                             return ::_wcsnicmp(entry.c_str(), name.c_str(), name.size()) == 0;
                                         }),
                          environment.end());
        environment.push_back(toWide(variable));
    }
    std::wstring block;
    for (const std::wstring& entry : environment)
        block += entry + L'\0';
    block += L'\0';
    // The wide call: names outside the ANSI code page reach the program
    // intact, and the program's path is taken as it is, never searched for.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), &wideCommandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                          variables.empty() ? nullptr : &block[0], nullptr, &startup, &process)) {
        error = "cannot start " + argv[0] + ": Windows error " + std::to_string(::GetLastError());
        return started;
    }
    const ScopedKernelHandle thread(process.hThread);
    started.process_.reset(reinterpret_cast<std::intptr_t>(process.hProcess));
    return started;
}

} // namespace platform
