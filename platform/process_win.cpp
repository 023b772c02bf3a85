#include "platform/process.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "platform/utf16_win.h"

namespace platform {
namespace {

// Owns one kernel handle.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~UniqueHandle() { reset(nullptr); }
    void reset(HANDLE handle)
    {
        if (handle_)
            ::CloseHandle(handle_);
        handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HANDLE handle_ = nullptr;
};

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

    UniqueHandle input, output, error;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const bool redirect = !options.standardInput.empty() || !options.standardOutput.empty()
                          || !options.standardError.empty();
    if (redirect) {
        auto pick = [](UniqueHandle& own, const std::string& path, bool forWriting, DWORD standard) {
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
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    return waitForExit(processHandle.get(), timeout);
}

void StartedProcess::release() noexcept
{
    if (id_ != 0)
        ::CloseHandle(reinterpret_cast<HANDLE>(id_));
    id_ = 0;
}

ProcessOutcome StartedProcess::waitFor(std::chrono::milliseconds timeout)
{
    if (id_ == 0)
        return {};
    const ProcessOutcome outcome = waitForExit(reinterpret_cast<HANDLE>(id_), timeout);
    if (outcome.status == ProcessOutcome::Exited)
        release();
    return outcome;
}

StartedProcess startProcess(const std::vector<std::string>& argv, std::string& error)
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
    // The wide call: names outside the ANSI code page reach the program
    // intact, and the program's path is taken as it is, never searched for.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program.c_str(), &wideCommandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        error = "cannot start " + argv[0] + ": Windows error " + std::to_string(::GetLastError());
        return started;
    }
    ::CloseHandle(process.hThread);
    started.id_ = reinterpret_cast<std::intptr_t>(process.hProcess);
    return started;
}

} // namespace platform
