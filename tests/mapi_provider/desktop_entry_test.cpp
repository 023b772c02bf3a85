// How the provider reads the desktop's mailto: handler: the desktop file
// behind its id, the Exec line, and which client that line starts.

#include "mapi_provider/desktop_entry.h"

#include <cstdlib>
#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

#include "mapi_provider/mail_client.h"
#include "tests/support/scoped_env_posix.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;
using Args = std::vector<std::string>;

TEST(DesktopEntry, SplitsExecLinesAsDesktopFilesQuoteThem)
{
    const struct {
        const char* value;
        std::optional<Args> args;
    } cases[] = {
        {"thunderbird %u", Args{"thunderbird", "%u"}},
        {"  a\t b  ", Args{"a", "b"}},
        {R"("/opt/My Mail/mail" --x="a b" %U)", Args{"/opt/My Mail/mail", "--x=a b", "%U"}},
        // Inside quotes \" \` \$ \\ stand for the character; the file's own \\ comes first.
        {R"("say \\"hi\\" \\$HOME \\\\ \\n" x)", Args{R"(say "hi" $HOME \ \n)", "x"}},
        {R"("a\sb"\sc)", Args{"a b", "c"}},
        {R"(a"b c"d)", Args{"ab cd"}},
        {R"(mail "open)", std::nullopt},
        {"", Args{}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitExecLine(c.value), c.args) << c.value;
}

TEST(DesktopEntry, ReadsTheMainGroupOnlyAndFindsFilesUnderTheirIds)
{
    TempDir dir;
    const std::string apps = dir.file("data/applications");
    fs::create_directories(apps + "/kde");
    writeFile(apps + "/kde/kmail.desktop",
              "# comment\n[Desktop Entry]\nName=KMail\nName[de]=KMail-de\nIcon=kmail\nExec=kmail -qwindowtitle %c %u\n"
              "[Desktop Action Composer]\nExec=kmail --composer\n");
    writeFile(apps + "/hidden.desktop", "[Desktop Entry]\nExec=mail %u\nHidden=true\n");
    writeFile(apps + "/noexec.desktop", "[Desktop Entry]\nName=Nothing\n[Other]\nExec=mail %u\n");
    // What the desktop writes for a handler the user picked: kept out of menus, not hidden.
    writeFile(apps + "/userapp-Thunderbird-1A2B3C.desktop", "[Desktop Entry]\nNoDisplay=true\nExec=thunderbird %u\n");
    // The system's file under the same id counts only where the user has none.
    fs::create_directories(dir.file("system/applications"));
    writeFile(dir.file("system/applications/kde-kmail.desktop"), "[Desktop Entry]\nExec=kmail\n");
    const ScopedEnv dataHome("XDG_DATA_HOME", dir.file("data")), dataDirs("XDG_DATA_DIRS", dir.file("system"));

    const std::string path = findDesktopFile("kde-kmail.desktop");
    EXPECT_EQ(path, apps + "/kde/kmail.desktop");
    const std::optional<DesktopEntry> entry = readDesktopEntry(path);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, "KMail");
    EXPECT_EQ(entry->icon, "kmail");
    EXPECT_EQ(entry->exec, (Args{"kmail", "-qwindowtitle", "%c", "%u"}));
    EXPECT_FALSE(readDesktopEntry(findDesktopFile("hidden.desktop")));
    EXPECT_FALSE(readDesktopEntry(findDesktopFile("noexec.desktop")));
    EXPECT_EQ(findDesktopFile("missing.desktop"), "");
    EXPECT_TRUE(readDesktopEntry(findDesktopFile("userapp-Thunderbird-1A2B3C.desktop")));
}

TEST(MailClient, KnowsTheClientsThatTakeAnAttachmentByProgramFlatpakOrSnap)
{
    const char* home = std::getenv("HOME");
    const std::string h = home ? home : "";
    const struct {
        Args exec;
        MailClientKind kind;
        Args command;  // with "ARGS" where the mail's arguments go
        std::string sandboxCache;
    } cases[] = {
        {{"/usr/bin/thunderbird", "%u"}, MailClientKind::Thunderbird, {"/usr/bin/thunderbird", "ARGS"}, ""},
        {{"betterbird", "%u"}, MailClientKind::Thunderbird, {"betterbird", "ARGS"}, ""},
        {{"evolution", "%U"}, MailClientKind::Evolution, {"evolution", "ARGS"}, ""},
        {{"kmail", "-qwindowtitle", "%c", "%i", "%k", "%u"},
         MailClientKind::KMail,
         {"kmail", "-qwindowtitle", "KMail", "--icon", "kmail", "/k.desktop", "ARGS"},
         ""},
        {{"claws-mail"}, MailClientKind::ClawsMail, {"claws-mail", "ARGS"}, ""},
        {{"sylpheed", "--x=%%%d", "%f", "%F"}, MailClientKind::Sylpheed, {"sylpheed", "--x=%", "ARGS"}, ""},
        {{"/usr/bin/flatpak", "run", "--branch=stable", "net.thunderbird.Thunderbird", "@@u", "%u", "@@"},
         MailClientKind::Thunderbird,
         {"/usr/bin/flatpak", "run", "--branch=stable", "net.thunderbird.Thunderbird", "ARGS"},
         h + "/.var/app/net.thunderbird.Thunderbird/cache"},
        {{"flatpak", "run", "org.kde.kmail2", "%u"}, MailClientKind::KMail, {"flatpak", "run", "org.kde.kmail2", "ARGS"},
         h + "/.var/app/org.kde.kmail2/cache"},
        {{"env", "A=b", "/snap/bin/thunderbird.mail", "%u"}, MailClientKind::Thunderbird,
         {"env", "A=b", "/snap/bin/thunderbird.mail", "ARGS"}, h + "/snap/thunderbird/common/.cache"},
        {{"snap", "run", "evolution", "%U"}, MailClientKind::Evolution, {"snap", "run", "evolution", "ARGS"},
         h + "/snap/evolution/common/.cache"},
        {{"firefox-esr", "%u"}, MailClientKind::Unknown, {"firefox-esr", "ARGS"}, ""},
        {{"flatpak", "run", "org.mozilla.firefox", "%u"}, MailClientKind::Unknown, {}, ""},
        {{"env", "thunderbird"}, MailClientKind::Thunderbird, {"env", "thunderbird", "ARGS"}, ""},
        {{"/usr/bin/env", "GDK_BACKEND=x11", "evolution", "%U"}, MailClientKind::Evolution,
         {"/usr/bin/env", "GDK_BACKEND=x11", "evolution", "ARGS"}, ""},
        {{"flatpak", "run", "--command=betterbird", "eu.betterbird.Betterbird", "@@u", "%u", "@@"},
         MailClientKind::Thunderbird,
         {"flatpak", "run", "--command=betterbird", "eu.betterbird.Betterbird", "ARGS"},
         h + "/.var/app/eu.betterbird.Betterbird/cache"},
        {{"/usr/bin/thunderbird-wrapper", "%u"}, MailClientKind::Unknown, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exec.front() + " " + (c.exec.size() > 1 ? c.exec[1] : ""));
        const MailClient client = identifyMailClient(DesktopEntry{"/k.desktop", "KMail", "kmail", c.exec});
        EXPECT_EQ(client.kind, c.kind);
        if (c.kind == MailClientKind::Unknown)
            continue;
        EXPECT_EQ(commandWith(client, {"ARGS"}), c.command);
        EXPECT_EQ(client.sandboxCache, c.sandboxCache);
    }
}
