#include "platform/process.h"

#include <windows.h>

#include <algorithm>
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

ProcessOutcome runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                          const ProcessOptions& options)
{
    ProcessOutcome outcome;
    if (argv.empty())
        return outcome;

    std::string narrowCommandLine;
    for (const std::string& argument : argv)
        narrowCommandLine += (narrowCommandLine.empty() ? "" : " ") + quoteArgument(argument);
    std::wstring commandLine = toWide(narrowCommandLine);

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

    const auto waitMs = timeout.count() < 0 ? 0 : static_cast<DWORD>(std::min<long long>(timeout.count(), INFINITE - 1));
    if (::WaitForSingleObject(processHandle.get(), waitMs) != WAIT_OBJECT_0) {
        outcome.status = ProcessOutcome::StillRunning;
        return outcome;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(processHandle.get(), &code);
    outcome.status = ProcessOutcome::Exited;
    outcome.exitCode = static_cast<int>(code);
    return outcome;
}

} // namespace platform
