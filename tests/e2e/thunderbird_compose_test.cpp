// The mail reaches a real client's compose window: the built program, the
// real xdg-utils and Thunderbird under Xvfb, read back through Marionette.
// Each route gets a process, and so a Thunderbird, of its own.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/process.h"
#include "tests/e2e/thunderbird_desktop.h"
#include "tests/support/program_run.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace testing_support;
using e2e::ThunderbirdDesktop;

namespace {

// Every character a mail client or a shell in between might take for syntax.
const std::string recipient = "support+pellicor@example.com";
const std::string subject = "Karte leer – Müller & Co. 100% #1 \"quoted\" 'single' back\\slash, comma";
const std::string body = "Grüße aus Zürich: 東京 ✓\n"
                         "Tom & Jerry, 50% off, issue #42\n"
                         "\"double\" and 'single' quotes, a back\\slash and a literal \\n\n"
                         "a query?to=x&subject=y&body=%41, commas, 'quote\n"
                         "last line";
const std::string zipBytes = "PK not really a zip";

// The compose windows as the user sees them: recipients by row, the subject
// field, the body's rendered text and the attachment list. A window still
// building its parts counts as not loaded.
const char* const readComposeWindows = R"(
const windows = [];
for (const w of Services.wm.getEnumerator("msgcompose")) {
    try {
        const d = w.document;
        const bucket = d.getElementById("attachmentBucket");
        windows.push({
            loaded: !!w.gLoadingComplete,
            recipients: [...d.querySelectorAll("mail-address-pill")].map(
                p => (p.closest(".address-row")?.id ?? "?") + " " + p.fullAddress),
            subject: d.getElementById("msgSubject").value,
            body: w.GetCurrentEditor().document.body.innerText,
            attachments: [...bucket.itemChildren].map(item => {
                let path = "";
                try {
                    path = Services.io.newURI(item.attachment.url).QueryInterface(Ci.nsIFileURL).file.path;
                } catch (e) {}
                return {name: item.attachment.name, path};
            }),
        });
    } catch (e) {
        windows.push({loaded: false, error: String(e)});
    }
}
return windows;
)";

struct Attachment {
    std::string name;
    std::string path;
};

struct ComposeWindow {
    std::vector<std::string> recipients;
    std::string subject;
    std::string body;
    std::vector<Attachment> attachments;
};

class ThunderbirdCompose : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        skipReason() = ThunderbirdDesktop::missingPrograms();
        if (!skipReason().empty()) {
            skipReason() = "needs " + skipReason() + " (scripts/install-deps.sh --e2e installs them)";
            return;
        }
        desktop() = std::make_unique<ThunderbirdDesktop>();
    }

    static void TearDownTestSuite() { desktop().reset(); }

    void SetUp() override
    {
        if (!skipReason().empty())
            GTEST_SKIP() << skipReason();
        for (const auto& [name, value] : desktop()->environment())
            sandbox_.setEnvironment(name, value);
        fs::create_directory(sandbox_.workFile("diag files"));
        attachZip_ = sandbox_.workFile("diag files/report 1.zip");
        writeFile(attachZip_, zipBytes);
        writeIssue(body);
    }

    void writeIssue(const std::string& mailBody)
    {
        writeFile(sandbox_.workFile("issue.xml"), issueXml(recipient, subject, mailBody, attachZip_));
    }

    // Runs the program on issue.xml; route is the line that says which route took the mail.
    void runTakenBy(const std::string& route)
    {
        const RunResult result = sandbox_.run({"issue.xml"});
        ASSERT_EQ(result.exitCode, 0) << result.rawLog;
        EXPECT_EQ(result.log.at(1), route);
    }

    // Polls until one loaded compose window shows what done() accepts, or
    // the time is up; returns the last one seen either way.
    template <typename Done>
    ComposeWindow waitForComposeWindow(Done done)
    {
        ComposeWindow window;
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        for (;;) {
            const nlohmann::json windows = desktop()->marionette().executeScript(readComposeWindows);
            if (windows.is_array() && windows.size() == 1 && windows[0].value("loaded", false)) {
                const nlohmann::json& w = windows[0];
                window.recipients = w["recipients"].get<std::vector<std::string>>();
                window.subject = w["subject"].get<std::string>();
                window.body = w["body"].get<std::string>();
                window.attachments.clear();
                for (const nlohmann::json& a : w["attachments"])
                    window.attachments.push_back({a["name"].get<std::string>(), a["path"].get<std::string>()});
                if (done(window))
                    return window;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                ADD_FAILURE() << "no settled compose window in time; the windows: " << windows.dump(2) << "\n"
                              << desktop()->logs();
                return window;
            }
            std::this_thread::sleep_for(250ms);
        }
    }

    // A mailto: URL carries no file: the body asks for the archive by hand.
    void expectMailtoComposeWindow(const std::string& archive)
    {
        const std::string expectedBody = "Please, attach the file " + archive + "\n" + body;
        const ComposeWindow window =
            waitForComposeWindow([&](const ComposeWindow& w) { return w.body == expectedBody; });
        EXPECT_EQ(window.recipients, std::vector<std::string>{"addressRowTo " + recipient});
        EXPECT_EQ(window.subject, subject);
        EXPECT_EQ(window.body, expectedBody);
        EXPECT_TRUE(window.attachments.empty());
    }

    static std::string& skipReason()
    {
        static std::string reason;
        return reason;
    }
    static std::unique_ptr<ThunderbirdDesktop>& desktop()
    {
        static std::unique_ptr<ThunderbirdDesktop> instance;
        return instance;
    }

    ProgramSandbox sandbox_;
    std::string attachZip_;
};

TEST_F(ThunderbirdCompose, ShowsEveryFieldAndTheAttachmentHandedOverThroughSimpleMapi)
{
    sandbox_.addProvider(XDG_MAPI_PATH);

    ASSERT_NO_FATAL_FAILURE(runTakenBy(" [MAIN:INFO] MAPI report sent"));

    const ComposeWindow window = waitForComposeWindow([&](const ComposeWindow& w) {
        return !w.attachments.empty() && w.body == body;
    });
    EXPECT_EQ(window.recipients, std::vector<std::string>{"addressRowTo " + recipient});
    EXPECT_EQ(window.subject, subject);
    EXPECT_EQ(window.body, body);
    ASSERT_EQ(window.attachments.size(), 1u);
    EXPECT_EQ(window.attachments[0].name, "log.zip");
    // The client reads the file through a path with blanks in it, and finds the report.
    EXPECT_NE(window.attachments[0].path.find("/cache with blanks/"), std::string::npos) << window.attachments[0].path;
    EXPECT_EQ(readFile(window.attachments[0].path), zipBytes);
}

// Linux takes at most 128 KiB in one argument; the provider hands the body over in a file.
TEST_F(ThunderbirdCompose, ShowsAllOfABodyLongerThanACommandLineTakesThroughSimpleMapi)
{
    sandbox_.addProvider(XDG_MAPI_PATH);
    std::string longBody = body;
    for (int line = 0; longBody.size() < 200 * 1024; ++line)
        longBody += "\nline " + std::to_string(line) + " of the diagnostic text, Grüße";
    writeIssue(longBody);

    ASSERT_NO_FATAL_FAILURE(runTakenBy(" [MAIN:INFO] MAPI report sent"));

    const ComposeWindow window = waitForComposeWindow([&](const ComposeWindow& w) {
        return !w.attachments.empty() && w.body == longBody;
    });
    EXPECT_EQ(window.body.size(), longBody.size());
    EXPECT_TRUE(window.body == longBody) << "the body ends in: " << window.body.substr(window.body.size() - 200);
    ASSERT_EQ(window.attachments.size(), 1u);
    EXPECT_EQ(readFile(window.attachments[0].path), zipBytes);
}

TEST_F(ThunderbirdCompose, ShowsEveryFieldOfTheMailtoUrlAndWhereTheReportIs)
{
    ASSERT_NO_FATAL_FAILURE(runTakenBy(logMailtoFallback));

    expectMailtoComposeWindow(attachZip_);
}

// The Windows build's mailto route under Wine: Wine's shell hands the URL to
// winebrowser, which hands it to the program in its Mailers slot, here
// xdg-email, which rewrites it into Thunderbird's comma-separated -compose
// list without decoding it. Run in a folder and on an issue file named
// outside ASCII and code page 1252.
TEST_F(ThunderbirdCompose, ShowsEveryFieldOfTheWindowsBuildsMailtoUrlHandedOnByWine)
{
    const std::string windowsProgram = WINDOWS_PELLICOR_EXE;
    if (!fileExists(windowsProgram))
        GTEST_SKIP() << "needs the Windows build, " << windowsProgram << " (scripts/test-windows.sh builds it)";
    if (platform::runProcess({"wine", "--version"}, 60s).status != platform::ProcessOutcome::Exited)
        GTEST_SKIP() << "needs Wine (scripts/build-windows-deps.sh --with-wine installs it)";

    const std::string folder = sandbox_.workFile("J\xC3\xB6s\xC3\xA9 M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC");
    const std::string issueFile = "St\xC3\xB6rung \xE6\x9D\xB1\xE4\xBA\xAC.xml";
    const std::string windowsZip = "C:\\Users\\J\xC3\xB6s\xC3\xA9\\Berichte, alt\\report 1.zip";
    fs::create_directory(fs::u8path(folder));
    writeFile(folder + "/" + issueFile, issueXml(recipient, subject, body, windowsZip));

    platform::ProcessOptions options = sandbox_.processOptions();
    options.workingDirectory = folder;
    // A prefix of its own, whose Mailers slot holds xdg-email; no Simple
    // MAPI at all, or Wine's own would take the mail; Wine names Unix files
    // in UTF-8 only under a UTF-8 locale.
    for (const std::string& entry : {"WINEPREFIX=" + sandbox_.workFile("wineprefix"), std::string("WINEDEBUG=-all"),
                                     std::string("WINEDLLOVERRIDES=mscoree,mshtml,mapi32="),
                                     std::string("LC_ALL=C.UTF-8")})
        options.environment.push_back(entry);
    const auto wine = [&](std::vector<std::string> argv) {
        argv.insert(argv.begin(), "wine");
        return platform::runProcess(argv, 240s, options);
    };
    // The prefix's server goes with the test, whichever way it ends.
    struct ServerStop {
        const platform::ProcessOptions& options;
        ~ServerStop() { platform::runProcess({"wineserver", "-k"}, 60s, options); }
    } serverStop{options};
    ASSERT_EQ(wine({"reg", "add", "HKCU\\Software\\Wine\\WineBrowser", "/v", "Mailers", "/d", "xdg-email", "/f"})
                  .exitCode,
              0);
    const platform::ProcessOutcome run = wine({windowsProgram, issueFile});
    ASSERT_EQ(run.status, platform::ProcessOutcome::Exited);
    EXPECT_EQ(run.exitCode, 0) << readFile(folder + "/Pellicor.log");

    expectMailtoComposeWindow(windowsZip);
}

TEST_F(ThunderbirdCompose, ShowsALongBodyCutWithANoteThroughTheMailtoRoute)
{
    // 200 KB, far more than a mailto: URL can carry on Linux.
    std::string longBody;
    for (int line = 0; longBody.size() < 200 * 1024; ++line)
        longBody += "Zeile " + std::to_string(line) + ": Gr\xC3\xBC\xC3\x9F" "e aus \xE6\x9D\xB1\xE4\xBA\xAC, 100% & mehr\n";
    writeIssue(longBody);

    const RunResult result = sandbox_.run({"issue.xml"});
    ASSERT_EQ(result.exitCode, 0) << result.rawLog;
    ASSERT_EQ(result.log.size(), 4u) << result.rawLog;
    const std::string warning = " [MAIN:WARN] Mailto body shortened to fit the URL limit of ";
    ASSERT_EQ(result.log[2].rfind(warning, 0), 0u) << result.log[2];
    const std::string leftOut = result.log[2].substr(result.log[2].rfind(' ') + 1);

    const std::string note = "[Text shortened to fit a mailto: link; characters left out: " + leftOut + "]";
    const ComposeWindow window = waitForComposeWindow([&](const ComposeWindow& w) {
        return w.body.size() > note.size() && w.body.compare(w.body.size() - note.size(), note.size(), note) == 0;
    });
    EXPECT_EQ(window.subject, subject);
    const std::string ask = "Please, attach the file " + attachZip_ + "\n";
    ASSERT_GT(window.body.size(), ask.size() + note.size() + 1);
    EXPECT_EQ(window.body.substr(0, ask.size()), ask);
    // The start of the body, whole lines and then part of one, and the note on a line of its own.
    const std::string shown = window.body.substr(ask.size(), window.body.size() - ask.size() - note.size() - 1);
    EXPECT_GT(shown.size(), 50u * 1024);
    EXPECT_EQ(longBody.substr(0, shown.size()), shown);
    EXPECT_EQ(window.body[window.body.size() - note.size() - 1], '\n');
    std::size_t missing = 0;
    for (std::size_t i = shown.size(); i < longBody.size(); ++i)
        missing += (static_cast<unsigned char>(longBody[i]) & 0xC0) != 0x80;
    EXPECT_EQ(std::stoul(leftOut), missing);
}

} // namespace
