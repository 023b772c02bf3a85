#include "tests/support/mailto_recorder.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/process.h"

namespace testing_support {

std::string MailtoRecorder::unavailable()
{
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const bool wine = ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
    return wine ? "" : "needs Wine, whose launcher winebrowser can be handed a recorder";
}

// The recorder keeps the URL in the one file it was configured with: the
// tests that use it take turns (RESOURCE_LOCK).
MailtoRecorder::MailtoRecorder(ProgramSandbox&) : record_(MAILTO_RECORD)
{
    using namespace std::chrono_literals;
    platform::runProcess(
        {"reg", "add", "HKCU\\Software\\Wine\\WineBrowser", "/v", "Mailers", "/d", MAILTO_RECORDER, "/f"}, 60s);
    clear();
}

std::string MailtoRecorder::url() const
{
    // ShellExecute returns once winebrowser has started; the recorder runs
    // after it and moves its file into place when it is complete.
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!fileExists(record_) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    return fileExists(record_) ? readFile(record_) : std::string();
}

} // namespace testing_support
