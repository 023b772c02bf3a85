#include "delivery/xdg_mapi_provider.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "delivery/mapi.h"
#include "platform/dynamic_library.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

namespace {

// Sets (or, given nullptr, unsets) one environment variable for the object's life.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ScopedEnv(const char* name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A stand-in program that writes its arguments, each ended by a NUL, to record.
void writeRecordingProgram(const std::string& path, const std::string& record, const std::string& thenDo)
{
    writeFile(path, "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + record + "'\n" + thenDo + "\n");
    fs::permissions(path, fs::perms::owner_all);
}

char* text(std::string& s)
{
    return s.data();
}

// The records as MapiMailer fills them.
struct Mail {
    std::string address = "support@example.com", smtpAddress = "SMTP:" + address;
    std::string subject = "Crash report", body = "It crashed.", displayName = "log.zip";
    MapiRecipDesc recipient{0, MAPI_TO, text(address), text(smtpAddress), 0, nullptr};
    MapiFileDesc file{0, 0, 0xFFFFFFFFu, nullptr, text(displayName), nullptr};
    MapiMessage message{};

    MapiMessage* fill(std::string& attachment)
    {
        file.lpszPathName = text(attachment);
        message = MapiMessage{0, text(subject), text(body), nullptr, nullptr, nullptr, 0, nullptr, 1, &recipient, 1, &file};
        return &message;
    }
};

class XdgMapiProvider : public ::testing::Test {
protected:
    void SetUp() override
    {
        library = platform::DynamicLibrary::open(PELLICOR_MAPI32_PATH);
        ASSERT_TRUE(library);
        sendMail = reinterpret_cast<MapiSendMailFunction>(library.symbol("MAPISendMail"));
        ASSERT_NE(sendMail, nullptr);
        fs::create_directory(bin);
        xdgEmailDoes("exit 0");
        writeFile(zip, "PK\x03\x04 zipped log");
    }

    void xdgEmailDoes(const std::string& thenDo) { writeRecordingProgram(bin + "/xdg-email", record, thenDo); }

    MapiULong send(MapiULong flags = MAPI_LOGON_UI | MAPI_DIALOG)
    {
        return sendMail(0, 0, mail.fill(zip), flags, 0);
    }

    // What the stand-in was given; nothing when it never ran.
    std::optional<Args> xdgEmailArgs() const
    {
        if (!fileExists(record))
            return std::nullopt;
        Args args;
        const std::string bytes = readFile(record);
        for (std::size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1)
            args.push_back(bytes.substr(start, end - start));
        return args;
    }

    TempDir dir;
    std::string bin = dir.file("bin");
    std::string record = dir.file("args");
    std::string cache = dir.file("cache");
    std::string outbox = cache + "/pellicor/outbox";
    std::string zip = dir.file("crash report, 2024.zip");
    ScopedEnv path{"PATH", bin + ":" + std::getenv("PATH")};
    ScopedEnv cacheHome{"XDG_CACHE_HOME", cache};
    Mail mail;
    platform::DynamicLibrary library;
    MapiSendMailFunction sendMail = nullptr;
};

} // namespace

TEST_F(XdgMapiProvider, HandsXdgEmailTheAttachmentUnderItsDisplayNameAndTheUri)
{
    ASSERT_EQ(send(), SUCCESS_SUCCESS);
    const Args args = xdgEmailArgs().value();
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args, (Args{"--utf8", "--attach", args[2], "mailto:support@example.com?subject=Crash%20report&body=It%20crashed."}));

    const fs::path link = args[2];
    EXPECT_EQ(link.filename(), "log.zip");
    EXPECT_EQ(link.parent_path().parent_path(), fs::path(outbox));
    EXPECT_EQ(fs::status(link.parent_path()).permissions(), fs::perms::owner_all);
    EXPECT_EQ(readFile(link), readFile(zip));
}

TEST_F(XdgMapiProvider, KeepsTrickySubjectsAndBodiesIntactInTheUri)
{
    mail.subject = "Grüße & 100% #1 \"quoted\" it's, C:\\new";
    mail.body = "first\nsecond\r\nthird\rtab\there \\c end?x=1";
    ASSERT_EQ(send(), SUCCESS_SUCCESS);
    EXPECT_EQ(xdgEmailArgs().value().back(),
              "mailto:support@example.com"
              "?subject=Gr%C3%BC%C3%9Fe%20%26%20100%25%20%231%20%22quoted%22%20it%27s%2C%20C:%5Cnew"
              "&body=first%0D%0Asecond%0D%0Athird%0D%0Atab%09here%20%5Cc%20end%3Fx%3D1");
}

TEST_F(XdgMapiProvider, PutsEveryRecipientInTheAddressPart)
{
    std::string a = "SMTP:a@example.com", bName = "b@example.com", empty, option = "smtp:--help@example.com";
    MapiRecipDesc recipients[] = {{0, MAPI_TO, text(empty), text(a), 0, nullptr},
                                  {0, MAPI_TO, text(bName), text(empty), 0, nullptr},
                                  {0, MAPI_TO, text(empty), text(empty), 0, nullptr},
                                  {0, MAPI_TO, text(empty), text(option), 0, nullptr}};
    MapiMessage* message = mail.fill(zip);
    message->lpRecips = recipients;
    message->nRecipCount = 4;
    ASSERT_EQ(sendMail(0, 0, message, MAPI_DIALOG, 0), SUCCESS_SUCCESS);
    EXPECT_EQ(xdgEmailArgs().value().back(),
              "mailto:a@example.com,b@example.com,--help@example.com?subject=Crash%20report&body=It%20crashed.");

    message->nRecipCount = 0;
    ASSERT_EQ(sendMail(0, 0, message, MAPI_DIALOG, 0), SUCCESS_SUCCESS);
    EXPECT_EQ(xdgEmailArgs().value().back(), "mailto:?subject=Crash%20report&body=It%20crashed.");
}

TEST_F(XdgMapiProvider, AttachesEveryFileUnderItsDisplayNameOrElseItsOwn)
{
    std::string notes = dir.file("notes.txt");
    writeFile(notes, "notes");
    MapiMessage* message = mail.fill(zip);
    MapiFileDesc files[] = {mail.file, {0, 0, 0xFFFFFFFFu, text(notes), nullptr, nullptr}};
    message->lpFiles = files;
    message->nFileCount = 2;
    ASSERT_EQ(sendMail(0, 0, message, MAPI_DIALOG, 0), SUCCESS_SUCCESS);
    const Args args = xdgEmailArgs().value();
    ASSERT_EQ(args.size(), 6u);
    EXPECT_EQ(args[3], "--attach");
    EXPECT_EQ(fs::path(args[2]).filename(), "log.zip");
    EXPECT_EQ(fs::path(args[4]).filename(), "notes.txt");
    EXPECT_EQ(readFile(args[4]), "notes");
}

TEST_F(XdgMapiProvider, FailsWhenXdgEmailFailsOrIsMissing)
{
    xdgEmailDoes("exit 1");
    EXPECT_EQ(send(), MAPI_E_FAILURE);
    ASSERT_TRUE(xdgEmailArgs());

    ScopedEnv emptyPath{"PATH", bin + "/nothing-here"};
    EXPECT_EQ(send(), MAPI_E_FAILURE);
}

TEST_F(XdgMapiProvider, StartsNothingForWhatItCannotOffer)
{
    EXPECT_EQ(send(MAPI_LOGON_UI), MAPI_E_FAILURE);
    EXPECT_EQ(sendMail(0, 0, nullptr, MAPI_DIALOG, 0), MAPI_E_FAILURE);
    mail.subject.assign(128 * 1024, 'x');
    EXPECT_EQ(send(), MAPI_E_FAILURE);
    mail.subject = "Crash report";
    zip = dir.file("gone.zip");
    EXPECT_EQ(send(), MAPI_E_ATTACHMENT_NOT_FOUND);
    EXPECT_FALSE(xdgEmailArgs());
}

TEST_F(XdgMapiProvider, PrunesOutboxEntriesOlderThanAWeek)
{
    const auto now = fs::file_time_type::clock::now();
    for (const char* entry : {"old", "recent"})
        fs::create_directories(outbox + "/" + entry);
    writeFile(outbox + "/old/log.zip", "sent long ago");
    fs::last_write_time(outbox + "/old", now - std::chrono::hours(24 * 8));
    fs::last_write_time(outbox + "/recent", now - std::chrono::hours(24 * 6));
    ASSERT_EQ(send(), SUCCESS_SUCCESS);
    EXPECT_FALSE(fileExists(outbox + "/old"));
    EXPECT_TRUE(fileExists(outbox + "/recent"));
    EXPECT_TRUE(fileExists(xdgEmailArgs().value()[2]));
}

TEST_F(XdgMapiProvider, AttachesTheFileItselfWhenItCannotLinkIt)
{
    writeFile(cache, "a file where the cache should be");
    ASSERT_EQ(send(), SUCCESS_SUCCESS);
    EXPECT_EQ(xdgEmailArgs().value()[2], zip);
}

TEST_F(XdgMapiProvider, AClientStillRunningAfterTheWaitHasTheMail)
{
    // The stand-in stays until the test writes to the pipe, well after the wait.
    const std::string pipe = dir.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    xdgEmailDoes("read line < '" + pipe + "'; exit 1");
    EXPECT_EQ(sendMailWithXdgEmail(mail.fill(zip), MAPI_DIALOG, std::chrono::milliseconds(50)), SUCCESS_SUCCESS);
    std::ofstream(pipe) << "done\n";
}

// The real xdg-email, with the user's mailto handler set to Thunderbird,
// hands Thunderbird the mail as one "-compose" list of fields.
TEST_F(XdgMapiProvider, RealXdgEmailHandsThunderbirdEveryFieldIntact)
{
    if (!fileExists("/usr/bin/xdg-email"))
        GTEST_SKIP() << "xdg-utils is not installed";
    fs::remove(bin + "/xdg-email");
    writeRecordingProgram(bin + "/thunderbird", record, "exit 0");
    writeFile(dir.file("mimeapps.list"), "[Default Applications]\nx-scheme-handler/mailto=thunderbird.desktop\n");
    fs::create_directories(dir.file("applications"));
    writeFile(dir.file("applications/thunderbird.desktop"),
              "[Desktop Entry]\nType=Application\nName=Thunderbird\nExec=thunderbird %u\n");
    // A desktop xdg-email knows by name, without asking D-Bus or X.
    ScopedEnv desktop{"XDG_CURRENT_DESKTOP", "X-Generic"}, config{"XDG_CONFIG_HOME", dir.path()},
        data{"XDG_DATA_HOME", dir.path()}, systemPath{"PATH", bin + ":/usr/bin:/bin"}, mailer{"MAILER", nullptr},
        runtime{"XDG_RUNTIME_DIR", nullptr}, debug{"XDG_UTILS_DEBUG_LEVEL", nullptr};

    mail.subject = "Grüße & 100% #1 \"quoted\" it's, C:\\new";
    mail.body = "first\nsecond\ttab \\c end";
    ASSERT_EQ(send(), SUCCESS_SUCCESS);
    const fs::path link = fs::directory_iterator(outbox)->path() / "log.zip";
    EXPECT_EQ(xdgEmailArgs().value(),
              (Args{"-compose",
                    "to='support@example.com,',"
                    "subject=Gr%C3%BC%C3%9Fe%20%26%20100%25%20%231%20%22quoted%22%20it%27s%2C%20C:%5Cnew,"
                    "body=first%0D%0Asecond%09tab%20%5Cc%20end,"
                    "attachment='" + fs::canonical(link).string() + "'"}));
}
