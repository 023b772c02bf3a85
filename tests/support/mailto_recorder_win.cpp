#include "tests/support/mailto_recorder.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#include "platform/process.h"

namespace testing_support {
namespace {

using UnixFileName = char*(CDECL*)(LPCWSTR);

UnixFileName unixFileNameOf()
{
    return reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
}

std::string unixPath(const std::string& windowsPath)
{
    const std::wstring wide(windowsPath.begin(), windowsPath.end());
    char* path = unixFileNameOf()(wide.c_str());
    if (path == nullptr)
        return {};
    std::string result(path);
    ::HeapFree(::GetProcessHeap(), 0, path);
    return result;
}

} // namespace

std::string MailtoRecorder::unavailable()
{
    return unixFileNameOf() == nullptr ? "needs Wine, whose winebrowser can be pointed at a recorder" : "";
}

MailtoRecorder::MailtoRecorder(ProgramSandbox& sandbox) : record_(sandbox.workFile("mailto-url.txt"))
{
    using namespace std::chrono_literals;
    const std::string unixRecord = unixPath(record_);
    if (unixRecord.empty())
        ADD_FAILURE() << "Wine cannot name " << record_ << " as a Unix path";
    // What Wine starts outside Windows sees the environment Wine itself was
    // started with, so the record's path goes on the recorder's command line.
    platform::runProcess({"reg", "add", "HKCU\\Software\\Wine\\WineBrowser", "/v", "Mailers", "/d",
                          "\"" MAILTO_RECORDER_SCRIPT "\" \"" + unixRecord + "\"", "/f"},
                         60s);
}

std::string MailtoRecorder::url() const
{
    // ShellExecute returns once winebrowser has started; the recorder
    // runs after it and moves its file into place when it is complete.
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!fileExists(record_) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    return fileExists(record_) ? readFile(record_) : std::string();
}

void MailtoRecorder::clear() const
{
    std::remove(record_.c_str());
}

} // namespace testing_support
