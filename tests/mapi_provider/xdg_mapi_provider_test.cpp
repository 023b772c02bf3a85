#include "mapi_provider/xdg_mapi_provider.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <csignal>
#include <sys/stat.h>
#include <thread>

#include <gtest/gtest.h>

#include "mail/mapi.h"
#include "platform/dynamic_library.h"
#include "platform/process.h"
#include "tests/support/mail_handler_desktop.h"
#include "tests/support/scoped_env_posix.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

namespace {

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

// A known client's desktop file as its package installs it, with the
// program its Exec line starts replaced by a recording stand-in.
struct Client {
    const char* id;
    const char* exec;
    const char* program;  // the stand-in's name
};

const Client thunderbird{"thunderbird.desktop", "/usr/bin/thunderbird %u", "thunderbird"};
const Client evolution{"org.gnome.Evolution.desktop", "evolution %U", "evolution"};
const Client claws{"claws-mail.desktop", "claws-mail %u", "claws-mail"};
const Client sylpheed{"sylpheed.desktop", "sylpheed %u", "sylpheed"};

class XdgMapiProvider : public ::testing::Test {
protected:
    void SetUp() override
    {
        library = platform::DynamicLibrary::open(PELLICOR_MAPI32_PATH);
        ASSERT_TRUE(library);
        sendMail = reinterpret_cast<MapiSendMailFunction>(library.symbol("MAPISendMail"));
        ASSERT_NE(sendMail, nullptr);
        for (const auto& [name, value] : desktop.environment())
            environment.push_back(std::make_unique<ScopedEnv>(name.c_str(), value));
        writeFile(zip, "PK\x03\x04 zipped log");
        use(thunderbird);
    }

    // Makes client the mailto: handler; its program records what it is handed.
    void use(const Client& client, const std::string& thenDo = "exit 0")
    {
        std::string exec = client.exec;
        // The stand-in lies in bin, wherever the real program would.
        exec = std::regex_replace(exec, std::regex("(^|\\s)/usr/bin/"), "$1" + desktop.bin + "/");
        desktop.setHandler(client.id, exec, "Mail Client");
        desktop.addRecordingProgram(client.program, thenDo);
    }

    MapiULong send(MapiULong flags = MAPI_LOGON_UI | MAPI_DIALOG) { return sendMail(0, 0, mail.fill(zip), flags, 0); }

    // The arguments, with the temporary directory shown as <dir> and each
    // outbox entry's random name as *.
    Args recordedShape() const
    {
        Args args = desktop.recordedArguments();
        for (std::string& arg : args) {
            for (std::string::size_type at; (at = arg.find(dir.path())) != std::string::npos;)
                arg.replace(at, dir.path().size(), "<dir>");
            arg = std::regex_replace(arg, std::regex("/outbox/[^/]+/"), "/outbox/*/");
        }
        return args;
    }

    // Every file the provider left for a client, by name, with its bytes.
    std::vector<std::pair<std::string, std::string>> staged() const
    {
        std::vector<std::pair<std::string, std::string>> files;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir.path())) {
            const fs::path& path = entry.path();
            if (entry.is_regular_file() && path.parent_path().parent_path().filename() == "outbox")
                files.emplace_back(path.filename().string(), readFile(path.string()));
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    TempDir dir;
    MailHandlerDesktop desktop{dir.path()};
    std::vector<std::unique_ptr<ScopedEnv>> environment;
    std::string zip = dir.file("crash report, 2024.zip");
    Mail mail;
    platform::DynamicLibrary library;
    MapiSendMailFunction sendMail = nullptr;
};

} // namespace

TEST_F(XdgMapiProvider, HandsEachKnownClientTheMailAndTheArchiveInTheFormItTakes)
{
    const std::string outbox = "<dir>/cache/pellicor/outbox/*/";
    const std::string flatpakOutbox = "<dir>/home/.var/app/org.mozilla.Thunderbird/cache/pellicor/outbox/*/";
    const std::string snapOutbox = "<dir>/home/snap/thunderbird/common/.cache/pellicor/outbox/*/";
    const std::string mailto = "mailto:support@example.com?subject=Crash%20report&body=It%20crashed.";
    // Thunderbird's -compose list, with the body and the archive in outbox.
    const auto compose = [](const std::string& outbox) {
        return "to=support@example.com,subject=Crash%20report,message=" + outbox + "body.txt,attachment=file://"
               + outbox + "log.zip";
    };
    const struct {
        Client client;
        bool bodyFromFile;
        Args expected;
    } cases[] = {
        {thunderbird, true, {"-compose", compose(outbox)}},
        {{"icedove.desktop", "icedove -P work %u", "icedove"}, true, {"-P", "work", "-compose", compose(outbox)}},
        // Flathub's, whose files the sandbox shows only in its own directories.
        {{"org.mozilla.Thunderbird.desktop",
          "flatpak run --branch=stable --arch=x86_64 --command=thunderbird --file-forwarding "
          "org.mozilla.Thunderbird @@u %u @@",
          "flatpak"},
         true,
         {"run", "--branch=stable", "--arch=x86_64", "--command=thunderbird", "--file-forwarding",
          "org.mozilla.Thunderbird", "-compose", compose(flatpakOutbox)}},
        {{"thunderbird_thunderbird.desktop",
          "env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/thunderbird_thunderbird.desktop "
          "/snap/bin/thunderbird %u",
          "env"},
         true,
         {"BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/desktop/applications/thunderbird_thunderbird.desktop",
          "/snap/bin/thunderbird", "-compose", compose(snapOutbox)}},
        {evolution, false, {mailto + "&attach=" + outbox + "log.zip"}},
        {{"org.kde.kmail2.desktop", "kmail -qwindowtitle %c %u", "kmail"}, true,
         {"-qwindowtitle", "Mail Client", "--composer", "--subject=Crash report", "--msg=" + outbox + "body.txt",
          "--attach=file://" + outbox + "log.zip", "--", "support@example.com"}},
        {claws, true,
         {"--compose", "mailto:support@example.com?subject=Crash%20report", "--insert", outbox + "body.txt", "--attach",
          outbox + "log.zip"}},
        {sylpheed, false, {"--compose", mailto, "--attach", outbox + "log.zip"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.client.id);
        fs::remove_all(desktop.home);
        fs::remove_all(desktop.cache);
        use(c.client);
        ASSERT_EQ(send(), SUCCESS_SUCCESS);
        EXPECT_EQ(recordedShape(), c.expected);
        // The archive under the name the caller gave it, and the body as it was handed over.
        std::vector<std::pair<std::string, std::string>> expected{{"log.zip", readFile(zip)}};
        if (c.bodyFromFile)
            expected.insert(expected.begin(), {"body.txt", mail.body});
        EXPECT_EQ(staged(), expected);
    }
}

TEST_F(XdgMapiProvider, StartsNoBrowserNorUnknownProgramAndLeavesNoFileForIt)
{
    for (const Client& browser : {Client{"firefox-esr.desktop", "/usr/lib/firefox-esr/firefox-esr %u", "firefox-esr"},
                                  Client{"org.mozilla.firefox.desktop",
                                         "flatpak run --command=firefox org.mozilla.firefox @@u %u @@", "flatpak"},
                                  Client{"webmail.desktop", "thunderbird-launcher --open %u", "thunderbird-launcher"}}) {
        SCOPED_TRACE(browser.id);
        use(browser);
        EXPECT_EQ(send(), MAPI_E_NOT_SUPPORTED);
        EXPECT_FALSE(desktop.recorded());
        EXPECT_FALSE(fileExists(desktop.cache + "/pellicor"));
        EXPECT_FALSE(fileExists(desktop.home + "/.var"));
    }
}

TEST_F(XdgMapiProvider, FailsWithoutAHandlerOrItsDesktopFile)
{
    // The desktop's choice names a file that is gone.
    fs::remove(dir.file("data/applications/thunderbird.desktop"));
    EXPECT_EQ(send(), MAPI_E_FAILURE);
    fs::remove(dir.file("config/mimeapps.list"));
    EXPECT_EQ(send(), MAPI_E_FAILURE);
    EXPECT_FALSE(desktop.recorded());
}

TEST_F(XdgMapiProvider, KeepsTrickySubjectsAndBodiesIntact)
{
    mail.subject = "Grüße & 100% #1 \"quoted\" it's, C:\\new";
    mail.body = "first\nsecond\r\nthird\rtab\there \\c end?x=1";
    const std::string subject = "Gr%C3%BC%C3%9Fe%20%26%20100%25%20%231%20%22quoted%22%20it%27s%2C%20C:%5Cnew";
    ASSERT_EQ(send(), SUCCESS_SUCCESS);
    const std::string fields = "to=support@example.com,subject=" + subject + ",message=";
    EXPECT_EQ(desktop.recordedArguments().at(1).substr(0, fields.size()), fields);
    EXPECT_EQ(staged().at(0), (std::pair<std::string, std::string>{"body.txt", "first\nsecond\nthird\ntab\there \\c end?x=1"}));

    use(evolution);
    ASSERT_EQ(send(), SUCCESS_SUCCESS);
    EXPECT_EQ(recordedShape().at(0), "mailto:support@example.com?subject=" + subject
                                         + "&body=first%0D%0Asecond%0D%0Athird%0D%0Atab%09here%20%5Cc%20end%3Fx%3D1"
                                           "&attach=<dir>/cache/pellicor/outbox/*/log.zip");
}

TEST_F(XdgMapiProvider, PutsEveryRecipientWhereNoneCanPassForAnOption)
{
    std::string a = "SMTP:a@example.com", bName = "b@example.com", empty, option = "smtp:--help@example.com";
    MapiRecipDesc recipients[] = {{0, MAPI_TO, text(empty), text(a), 0, nullptr},
                                  {0, MAPI_TO, text(bName), text(empty), 0, nullptr},
                                  {0, MAPI_TO, text(empty), text(empty), 0, nullptr},
                                  {0, MAPI_TO, text(empty), text(option), 0, nullptr}};
    MapiMessage* message = mail.fill(zip);
    message->lpRecips = recipients;
    message->nRecipCount = 4;
    message->nFileCount = 0;
    ASSERT_EQ(sendMail(0, 0, message, MAPI_DIALOG, 0), SUCCESS_SUCCESS);
    EXPECT_EQ(desktop.recordedArguments().at(1).substr(0, 60),
              "to=a@example.com%2Cb@example.com%2C--help@example.com,subjec");

    use(evolution);
    ASSERT_EQ(sendMail(0, 0, message, MAPI_DIALOG, 0), SUCCESS_SUCCESS);
    EXPECT_EQ(desktop.recordedArguments(),
              Args{"mailto:a@example.com,b@example.com,--help@example.com?subject=Crash%20report&body=It%20crashed."});

    use({"kmail.desktop", "kmail %u", "kmail"});
    ASSERT_EQ(sendMail(0, 0, message, MAPI_DIALOG, 0), SUCCESS_SUCCESS);
    const Args args = desktop.recordedArguments();
    EXPECT_EQ(Args(args.end() - 4, args.end()), (Args{"--", "a@example.com", "b@example.com", "--help@example.com"}));
}

TEST_F(XdgMapiProvider, AttachesEveryFileUnderItsDisplayNameOrElseItsOwn)
{
    std::string notes = dir.file("notes, old.txt");
    writeFile(notes, "notes");
    MapiMessage* message = mail.fill(zip);
    MapiFileDesc files[] = {mail.file, {0, 0, 0xFFFFFFFFu, text(notes), nullptr, nullptr}};
    message->lpFiles = files;
    message->nFileCount = 2;
    mail.body.clear();
    message->lpszNoteText = text(mail.body);
    ASSERT_EQ(sendMail(0, 0, message, MAPI_DIALOG, 0), SUCCESS_SUCCESS);
    // Thunderbird decodes the field, splits it where a "file:" follows a comma and reads each URI.
    EXPECT_EQ(recordedShape(), (Args{"-compose", "to=support@example.com,subject=Crash%20report,attachment="
                                                 "file://<dir>/cache/pellicor/outbox/*/log.zip%2C"
                                                 "file://<dir>/cache/pellicor/outbox/*/notes%252C%2520old.txt"}));
    EXPECT_EQ(staged(), (std::vector<std::pair<std::string, std::string>>{{"log.zip", readFile(zip)},
                                                                          {"notes, old.txt", "notes"}}));
}

// A body far longer than one argument may be (128 KiB on Linux) reaches a
// client that reads it from a file whole; one that takes it only in its
// command line gets as much as fits, cut between whole characters and
// ending with a line that says how much is missing, and the archive still.
TEST_F(XdgMapiProvider, HandsALongBodyWholeToAClientThatReadsItFromAFile)
{
    mail.body.clear();
    for (int line = 0; mail.body.size() < 200 * 1024; ++line)
        mail.body += "Zeile " + std::to_string(line) + " – Grüße, 'zitiert'\n";
    for (const Client& client : {thunderbird, claws}) {
        fs::remove_all(desktop.cache);
        use(client);
        ASSERT_EQ(send(), SUCCESS_SUCCESS);
        EXPECT_EQ(staged().at(0), (std::pair<std::string, std::string>{"body.txt", mail.body})) << client.id;
    }
    // Sylpheed's running instance reads one line, which Claws Mail's survives to 8188 bytes.
    for (const auto& [client, longest] :
         {std::pair{evolution, platform::longestArgument()}, std::pair{sylpheed, std::size_t{8180}}}) {
        fs::remove_all(desktop.cache);
        use(client);
        ASSERT_EQ(send(), SUCCESS_SUCCESS) << client.id;
        const Args args = desktop.recordedArguments();
        const std::string& uri = args.at(client.program == std::string("evolution") ? 0 : 1);
        EXPECT_LE(uri.size(), longest);
        EXPECT_GT(uri.size(), longest / 100 * 98) << "as much of the body as fits";
        const std::string note = "%0D%0A%5BText%20shortened%20to%20fit%20a%20mailto:%20link;%20characters%20left%20out:%20";
        EXPECT_NE(uri.find(note), std::string::npos) << uri.substr(uri.size() - 300);
        EXPECT_EQ(staged().at(0).second, readFile(zip)) << client.id;
    }
    mail.body = "short";
    mail.subject.assign(128 * 1024, 'x');
    fs::remove(desktop.record);
    use(thunderbird);
    EXPECT_EQ(send(), MAPI_E_TEXT_TOO_LARGE);
    EXPECT_FALSE(desktop.recorded());
    // The longest argument counted on does reach a program.
    const std::string longest(platform::longestArgument(), 'x');
    EXPECT_EQ(platform::runProcess({"true", longest}, std::chrono::seconds(60)).status,
              platform::ProcessOutcome::Exited);
}

TEST_F(XdgMapiProvider, FailsWhenTheClientFailsOrIsMissingAndTakesBackItsFiles)
{
    for (const char* ending : {"exit 1", "kill -SEGV $$", "kill -KILL $$"}) {
        use(thunderbird, ending);
        EXPECT_EQ(send(), MAPI_E_FAILURE) << ending;
        EXPECT_TRUE(desktop.recorded());
        EXPECT_TRUE(staged().empty());
    }

    fs::remove(desktop.bin + "/thunderbird");
    EXPECT_EQ(send(), MAPI_E_FAILURE);
    EXPECT_TRUE(staged().empty());
}

TEST_F(XdgMapiProvider, StartsNothingForWhatItCannotOffer)
{
    EXPECT_EQ(send(MAPI_LOGON_UI), MAPI_E_FAILURE);
    EXPECT_EQ(sendMail(0, 0, nullptr, MAPI_DIALOG, 0), MAPI_E_FAILURE);
    zip = dir.file("gone.zip");
    EXPECT_EQ(send(), MAPI_E_ATTACHMENT_NOT_FOUND);
    EXPECT_FALSE(desktop.recorded());
}

TEST_F(XdgMapiProvider, PrunesOutboxEntriesOlderThanAWeek)
{
    const std::string outbox = desktop.cache + "/pellicor/outbox";
    const auto now = fs::file_time_type::clock::now();
    for (const char* entry : {"old", "recent"})
        fs::create_directories(outbox + "/" + entry);
    writeFile(outbox + "/old/log.zip", "sent long ago");
    fs::last_write_time(outbox + "/old", now - std::chrono::hours(24 * 8));
    fs::last_write_time(outbox + "/recent", now - std::chrono::hours(24 * 6));
    ASSERT_EQ(send(), SUCCESS_SUCCESS);
    EXPECT_FALSE(fileExists(outbox + "/old"));
    EXPECT_TRUE(fileExists(outbox + "/recent"));
    EXPECT_EQ(staged().size(), 2u);
}

// The client reads the user's own files wherever they are; a sandboxed one
// only what lies in its own directories.
TEST_F(XdgMapiProvider, HandsTheFilesThemselvesWhenItCannotPlaceThemUnlessTheClientIsSandboxed)
{
    writeFile(desktop.cache, "a file where the cache should be");
    mail.body = "short body";
    ASSERT_EQ(send(), SUCCESS_SUCCESS);
    EXPECT_EQ(desktop.recordedArguments().at(1), "to=support@example.com,subject=Crash%20report,body=short%20body,"
                                                 "attachment=file://" + dir.path() + "/crash%2520report%252C%25202024.zip");

    fs::remove(desktop.record);
    use({"org.gnome.Evolution.desktop", "flatpak run org.gnome.Evolution %U", "flatpak"});
    writeFile(desktop.home + "/.var", "a file where the sandbox's directories should be");
    EXPECT_EQ(send(), MAPI_E_FAILURE);
    EXPECT_FALSE(desktop.recorded());
}

TEST_F(XdgMapiProvider, AClientStillRunningAfterTheWaitHasTheMail)
{
    // The stand-in stays until the test writes to the pipe, well after the wait.
    const std::string pipe = dir.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    use(thunderbird, "read line < '" + pipe + "'; exit 1");
    EXPECT_EQ(sendMailToDesktopClient(mail.fill(zip), MAPI_DIALOG, {std::chrono::milliseconds(50), {}}), SUCCESS_SUCCESS);
    std::ofstream(pipe) << "done\n";
    EXPECT_EQ(staged().size(), 2u);
}

// A second start hands the mail to the running instance and ends with 0; an
// instance that dies on it has lost the mail.
TEST_F(XdgMapiProvider, FailsWhenTheRunningInstanceHandedTheMailDiesOnIt)
{
    const std::string pipe = dir.file("pipe"), pidFile = dir.file("instance.pid");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_directory(dir.file("running"));
    writeFile(dir.file("running/sylpheed"), "#!/bin/sh\necho $$ > '" + pidFile + "'\nread line < '" + pipe + "'\n");
    fs::permissions(dir.file("running/sylpheed"), fs::perms::owner_all);
    std::string error;
    platform::StartedProcess instance = platform::startProcess({dir.file("running/sylpheed")}, error);
    ASSERT_TRUE(instance) << error;
    while (readFile(pidFile).empty())
        std::this_thread::yield();
    for (const auto& [handOff, expected] : {std::pair{std::string("exit 0"), SUCCESS_SUCCESS},
                                            std::pair{"kill $(cat '" + pidFile + "'); exit 0", MAPI_E_FAILURE}}) {
        use(sylpheed, handOff);
        const ClientWaits waits{std::chrono::seconds(10), std::chrono::milliseconds(300)};
        EXPECT_EQ(sendMailToDesktopClient(mail.fill(zip), MAPI_DIALOG, waits), expected) << handOff;
        // The first mail's archive; the lost one's is taken back.
        EXPECT_EQ(staged().size(), 1u);
    }
    EXPECT_EQ(instance.waitFor(std::chrono::seconds(10)).exitCode, 128 + SIGTERM);
}
