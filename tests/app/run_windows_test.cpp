// Whole runs that only the Windows build shows: the program where the system
// ignores its manifest, and the mailto route through Wine's own launcher.

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>

#include "mail/mailto_field.h"
#include "platform/handle_win.h"
#include "platform/process.h"
#include "tests/support/fake_mapi_record.h"
#include "tests/support/mailto_recorder.h"
#include "tests/support/program_run.h"
#include "tests/support/zip_reader.h"

using namespace testing_support;
using namespace std::chrono_literals;

namespace {

// The ids of the explorer.exe processes running now.
std::set<DWORD> explorers()
{
    std::set<DWORD> ids;
    const platform::ScopedKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, L"explorer.exe") == 0)
            ids.insert(entry.th32ProcessID);
    }
    return ids;
}

const std::string userName = "J\xC3\xB6s\xC3\xA9, M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC";

} // namespace

// Where the system ignores the manifest (Windows before 10 1903), the ANSI
// code page is the user's (1252 under Wine here): the wide calls still carry
// every name, and the wide provider gets every text.
TEST(WithoutManifest, KeepsNamesOutsideTheAnsiCodePageIntact)
{
    ProgramSandbox sandbox(PELLICOR_WITHOUT_MANIFEST_EXE);
    sandbox.addProvider(FAKE_MAPI_WIDE_PATH);
    // The fake provider names its record in the ANSI code page: an ASCII path.
    sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RECORD", WITHOUT_MANIFEST_RECORD);
    const auto handed = [] { return parseFakeMapiRecord(readFile(WITHOUT_MANIFEST_RECORD)); };

    const ZipEntries files = {{"QXF-0.log", "log \xE6\x9D\xB1\xE4\xBA\xAC\n"}, {"QXF-minidump.dmp", "MDMP"}};
    for (const auto& [name, bytes] : files)
        writeFile(sandbox.workFile(name), bytes);
    RunResult result = sandbox.run({"--crash"});
    EXPECT_EQ(result.exitCode, 0) << result.rawLog;
    const std::string archive = sandbox.workDir() + "\\report.zip";
    EXPECT_EQ(recordedField(handed(), "entry"), "MAPISendMailW");
    EXPECT_EQ(recordedField(handed(), "file.lpszPathName"), archive);
    EXPECT_EQ(zipEntries(archive), files);
    EXPECT_NE(std::find(result.log.begin(), result.log.end(), " [MAIN:INFO] Adding QXF-0.log to " + archive),
              result.log.end()) << result.rawLog;

    const std::string issueFile = "St\xC3\xB6rung \xE6\x9D\xB1\xE4\xBA\xAC.xml";
    const std::string subject = "M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC";
    writeFile(sandbox.workFile(issueFile), issueXml("a@b", subject, "", archive));
    result = sandbox.run({issueFile});
    EXPECT_EQ(result.exitCode, 0) << result.rawLog;
    EXPECT_EQ(recordedField(handed(), "message.lpszSubject"), subject);
    EXPECT_EQ(recordedField(handed(), "file.lpszPathName"), archive);

    // A provider with only the narrow entry reads the ANSI code page: it gets
    // what that can hold, as before the manifest, not UTF-8 it would misread.
    sandbox.addProvider(FAKE_MAPI_PATH);
    result = sandbox.run({issueFile});
    EXPECT_EQ(result.exitCode, 0) << result.rawLog;
    EXPECT_EQ(recordedField(handed(), "entry"), "MAPISendMail");
    EXPECT_EQ(recordedField(handed(), "message.lpszSubject"), "M\xFCller ??");
}

TEST(WineLauncher, TakesTheWholeMailtoUrlOfACrashReportInAFolderNamedOutsideAscii)
{
    if (!MailtoRecorder::unavailable().empty())
        GTEST_SKIP() << MailtoRecorder::unavailable();
    ProgramSandbox sandbox;
    // A provider without the entry point: Wine's own mapi32 would take the mail itself.
    sandbox.addProvider(FAKE_MAPI_WITHOUT_EXPORT_PATH);
    writeFile(sandbox.workFile("ORVAPlus.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ORVAPlus>"
                                                "<Environment><UserName>" + userName + "</UserName></Environment>"
                                                "<Internet><SupportEmail>support@example.com</SupportEmail></Internet>"
                                                "</ORVAPlus>\n");
    writeFile(sandbox.workFile("QXF-0.log"), "log");

    const MailtoRecorder recorder(sandbox);
    const RunResult result = sandbox.run({"--crash"});
    ASSERT_EQ(result.exitCode, 0) << result.rawLog;
    EXPECT_EQ(result.log.back(), logFinished);
    const std::string url = recorder.url();

    // Commas percent-encoded (xdg-email would cut a field at a bare one),
    // every character outside ASCII as its UTF-8 bytes.
    const std::string head = "mailto:support@example.com"
                             "?subject=QXF%20feedback:%20Issue%20Report%20from%20user%20with%20license%20"
                             "J%C3%B6s%C3%A9%2C%20M%C3%BCller%20%E6%9D%B1%E4%BA%AC"
                             "&body=Please%2C%20attach%20the%20file%20";
    const std::string tail = "%0D%0APlease%2C%20describe%20the%20issue%20here%2C%20thank%20you.%0D%0A";
    ASSERT_EQ(url.substr(0, head.size()), head) << url;
    const std::string archive = url.substr(head.size(), url.find(tail) - head.size());
    EXPECT_EQ(archive, escapeMailtoUrl(sandbox.workDir() + "\\report.zip"));
    EXPECT_NE(archive.find("J%C3%B6s%C3%A9%20M%C3%BCller%20%E6%9D%B1%E4%BA%AC"), std::string::npos) << archive;
    EXPECT_EQ(url.find(','), std::string::npos) << url;
}

// Wine's SHOpenFolderAndSelectItems opens the item's folder in Wine's own
// explorer and selects nothing, answering S_FALSE: the run says so in one
// line and ends as the mail routes decide. The mail client the log names is
// the user's choice when there is one, else the machine's.
TEST(WineShell, OpensTheArchivesFolderWithoutChangingTheRun)
{
    if (!MailtoRecorder::unavailable().empty())
        GTEST_SKIP() << MailtoRecorder::unavailable();
    ProgramSandbox sandbox;
    sandbox.addProvider(FAKE_MAPI_WITHOUT_EXPORT_PATH);
    sandbox.setEnvironment("PELLICOR_REVEAL_ARCHIVE", "1");
    writeFile(sandbox.workFile("report.zip"), "PK");
    writeFile(sandbox.workFile("issue.xml"), issueXml("a@b", "s", "", "report.zip"));
    const MailtoRecorder recorder(sandbox);
    const std::set<DWORD> before = explorers();
    RunResult result = sandbox.run({"issue.xml"});
    // Wine's explorer stays open with the Unix stderr of the test, which the
    // test runner waits on: the window the run opened is closed here.
    for (const DWORD id : explorers()) {
        if (before.count(id) == 0)
            ::TerminateProcess(platform::ScopedKernelHandle(::OpenProcess(PROCESS_TERMINATE, FALSE, id)).get(), 0);
    }
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log, (Lines{logStarted, logMailtoFallback,
                                 " [MAIN:INFO] Opened the folder of the archive report.zip without selecting it: "
                                 "SHOpenFolderAndSelectItems opened the folder only (0x00000001)",
                                 logFinished}));
    EXPECT_NE(recorder.url().find("report.zip"), std::string::npos);
    EXPECT_EQ(result.mailClient, "Native Mail Client");

    sandbox.setEnvironment("PELLICOR_REVEAL_ARCHIVE", "0");
    platform::runProcess({"reg", "add", "HKCU\\Software\\Clients\\Mail", "/ve", "/d", "Pellicor Mail", "/f"}, 60s);
    result = sandbox.run({"issue.xml"});
    platform::runProcess({"reg", "delete", "HKCU\\Software\\Clients\\Mail", "/f"}, 60s);
    EXPECT_EQ(result.mailClient, "Pellicor Mail");
    EXPECT_EQ(result.log.size(), 3u);
}
