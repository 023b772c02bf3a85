#include "tests/e2e/mail_client_desktop.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "platform/process.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::readFile;
using testing_support::writeFile;

namespace e2e {

// Debian's Sylpheed 3.8 and Claws Mail 4.1 save a draft with Ctrl+S; Evolution 3.46 too.
const MailClientProfile clawsMail{"claws-mail", "claws-mail.desktop", "%s - Compose message", "Mail/draft",
                                  "ctrl+s", "ctrl+w", "tester@example.invalid - Claws Mail"};
const MailClientProfile sylpheed{"sylpheed", "sylpheed.desktop", "%s - Compose", "Mail/draft",
                                 "ctrl+s", "ctrl+w", "tester@example.invalid - Sylpheed"};
const MailClientProfile evolution{"evolution", "org.gnome.Evolution.desktop", "%s",
                                  ".local/share/evolution/mail/local/.Drafts", "ctrl+s", "ctrl+w", "Mail"};

namespace {

constexpr auto startTimeout = 60s;

// One account and an MH mailbox with a drafts folder, the layout Claws Mail
// kept from Sylpheed; Claws Mail also without its spelling checker, whose
// missing dictionary would stop every compose window with a dialog, and
// without re-wrapping lines over 72 columns as it does by default.
void writeSettings(const MailClientProfile& client, const std::string& home)
{
    if (client.program == evolution.program) {
        // With no account it saves drafts in its local folders; by default
        // it wraps lines after 71 characters.
        fs::create_directories(home + "/.config/glib-2.0/settings");
        writeFile(home + "/.config/glib-2.0/settings/keyfile",
                  "[org/gnome/evolution/mail]\ncomposer-word-wrap-length=1000\n");
        return;
    }
    const std::string dir = home + (client.program == clawsMail.program ? "/.claws-mail" : "/.sylpheed-2.0");
    std::string folders;
    for (const char* folder : {"inbox", "sent", "queue", "trash", "draft"}) {
        fs::create_directories(home + "/Mail/" + folder);
        folders += "<folderitem type=\"" + std::string(folder == std::string("sent") ? "outbox" : folder)
                   + "\" name=\"" + folder + "\" path=\"" + folder + "\"/>\n";
    }
    fs::create_directories(dir);
    writeFile(dir + "/folderlist.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<folderlist>\n<folder type=\"mh\" "
                                       "name=\"Mailbox\" path=\"" + home + "/Mail\">\n" + folders + "</folder>\n</folderlist>\n");
    writeFile(dir + "/accountrc", "[Account: 1]\naccount_name=tester@example.invalid\nis_default=1\nname=Pellicor Tester\n"
                                  "address=tester@example.invalid\nprotocol=0\nreceive_server=pop.example.invalid\n"
                                  "smtp_server=smtp.example.invalid\nuser_id=tester\n");
    writeFile(dir + "/clawsrc", "[Common]\nenable_aspell=0\ncheck_while_typing=0\nlinewrap_auto=0\nlinewrap_pastes=0\n");
}

} // namespace

std::string MailClientDesktop::missingPrograms(const MailClientProfile& client)
{
    std::string missing;
    for (const char* program : {client.program, "Xvfb", "dbus-daemon", "xdg-mime", "xdg-open", "xdotool", "python3"}) {
        if (findOnPath(program).empty())
            missing += (missing.empty() ? "" : ", ") + std::string(program);
    }
    return missing;
}

MailClientDesktop::MailClientDesktop(const MailClientProfile& client) : client_(client), home_(root_.file("home"))
{
    fs::create_directories(home_ + "/.config");
    writeSettings(client, home_);
    writeFile(home_ + "/.config/mimeapps.list",
              "[Default Applications]\nx-scheme-handler/mailto=" + std::string(client.desktopFile) + "\n");
    fs::create_directories(root_.file("run"));
    fs::permissions(root_.file("run"), fs::perms::owner_all);

    display_ = BackgroundProcess::start({"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"},
                                        processEnvironment(), root_.file("xvfb.log"));
    const std::string display = display_.readLine(startTimeout);
    if (display.empty())
        throw std::runtime_error("Xvfb did not start:\n" + logs());
    bus_ = BackgroundProcess::start({"dbus-daemon", "--session", "--nofork", "--print-address=3"},
                                    processEnvironment(), root_.file("dbus.log"));
    const std::string bus = bus_.readLine(startTimeout);
    if (bus.empty())
        throw std::runtime_error("the session bus did not start:\n" + logs());

    // The clients' sockets (Claws Mail's in the runtime directory, Sylpheed's
    // in TMPDIR) are this desktop's own, so no other instance takes the mail.
    environment_ = {
        {"HOME", home_},
        {"XDG_CONFIG_HOME", home_ + "/.config"},
        {"XDG_DATA_HOME", home_ + "/.local/share"},
        {"XDG_CACHE_HOME", home_ + "/cache with blanks"},
        {"XDG_RUNTIME_DIR", root_.file("run")},
        {"TMPDIR", root_.file("run")},
        {"DISPLAY", ":" + display},
        {"DBUS_SESSION_BUS_ADDRESS", bus},
        {"LANG", "C.UTF-8"},
        {"GSETTINGS_BACKEND", "keyfile"},
        // The generic desktop: xdg-utils then ask the mailto handler, not a desktop's own tools.
        {"XDG_CURRENT_DESKTOP", ""},
        {"DESKTOP_SESSION", ""},
        {"KDE_FULL_SESSION", ""},
        {"GNOME_DESKTOP_SESSION_ID", ""},
        {"WAYLAND_DISPLAY", ""},
        {"BROWSER", ""},
        {"MAILER", ""},
    };
}

MailClientDesktop::~MailClientDesktop()
{
    stopClient();
}

void MailClientDesktop::startClient()
{
    stopClient();
    instance_ = BackgroundProcess::start({client_.program}, processEnvironment(), root_.file("client.log"));
    runDriver({"--wait", client_.mainWindow}, "wait");
}

void MailClientDesktop::stopClient()
{
    instance_.stop();
    // A client the program started outlives the program; it is ours by its home.
    std::vector<std::intptr_t> ours;
    for (std::intptr_t id : platform::processesNamed(client_.program)) {
        const std::string environ = readFile("/proc/" + std::to_string(id) + "/environ");
        if (environ.find(std::string("HOME=") + home_ + '\0') != std::string::npos) {
            ::kill(static_cast<pid_t>(id), SIGTERM);
            ours.push_back(id);
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    for (std::intptr_t id : ours) {
        while (platform::processIsAlive(id) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(100ms);
        if (platform::processIsAlive(id))
            ::kill(static_cast<pid_t>(id), SIGKILL);
    }
}

std::string MailClientDesktop::saveDraft(const std::string& subject)
{
    std::string title = client_.title;
    title.replace(title.find("%s"), 2, subject);
    return runDriver({title, home_ + "/" + client_.drafts, client_.saveKeys, client_.closeKeys}, "draft");
}

std::string MailClientDesktop::runDriver(const std::vector<std::string>& arguments, const std::string& name)
{
    std::vector<std::string> command{"python3", SAVE_DRAFT_SCRIPT};
    command.insert(command.end(), arguments.begin(), arguments.end());
    platform::ProcessOptions options;
    options.environment = processEnvironment();
    options.standardOutput = root_.file(name + ".json");
    options.standardError = root_.file("driver.log");
    fs::remove(options.standardOutput);
    const platform::ProcessOutcome outcome = platform::runProcess(command, 240s, options);
    if (outcome.status != platform::ProcessOutcome::Exited || outcome.exitCode != 0)
        throw std::runtime_error("save_draft.py " + name + " failed:\n" + logs());
    return readFile(options.standardOutput);
}

std::string MailClientDesktop::logs() const
{
    std::string text;
    for (const char* name : {"xvfb.log", "dbus.log", "client.log", "driver.log"}) {
        const std::string file = root_.file(name);
        text += std::string("--- ") + name + "\n" + (fs::exists(file) ? readFile(file) : "");
    }
    return text;
}

std::vector<std::string> MailClientDesktop::processEnvironment() const
{
    const char* path = std::getenv("PATH");
    std::vector<std::string> result{"PATH=" + std::string(path ? path : "/usr/bin:/bin")};
    for (const auto& [name, value] : environment_) {
        if (!value.empty())
            result.push_back(name + "=" + value);
    }
    return result;
}

} // namespace e2e
