#include "tests/e2e/thunderbird_desktop.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::BackgroundProcess;
using testing_support::findOnPath;
using testing_support::readFile;
using testing_support::writeFile;

namespace e2e {
namespace {

// A first start builds the profile and its caches; two busy cores may take a while.
constexpr auto startTimeout = 120s;

// No first-run screens, no update or telemetry prompts, no network, and one
// account with an identity, as a compose window needs a sender.
const char* const userJs = R"(user_pref("marionette.port", 0);
user_pref("mail.shell.checkDefaultClient", false);
user_pref("mailnews.start_page.enabled", false);
user_pref("mail.provider.enabled", false);
user_pref("mail.rights.override", true);
user_pref("app.update.disabledForTesting", true);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("datareporting.policy.dataSubmissionPolicyBypassNotification", true);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("mail.accountmanager.accounts", "account1,account2");
user_pref("mail.accountmanager.defaultaccount", "account1");
user_pref("mail.accountmanager.localfoldersserver", "server2");
user_pref("mail.account.account1.identities", "id1");
user_pref("mail.account.account1.server", "server1");
user_pref("mail.account.account2.server", "server2");
user_pref("mail.identity.id1.fullName", "Pellicor Tester");
user_pref("mail.identity.id1.useremail", "tester@example.invalid");
user_pref("mail.identity.id1.valid", true);
user_pref("mail.server.server1.type", "pop3");
user_pref("mail.server.server1.hostname", "pop.example.invalid");
user_pref("mail.server.server1.userName", "tester");
user_pref("mail.server.server1.login_at_startup", false);
user_pref("mail.server.server1.check_new_mail", false);
user_pref("mail.server.server1.directory-rel", "[ProfD]Mail/pop");
user_pref("mail.server.server2.type", "none");
user_pref("mail.server.server2.hostname", "Local Folders");
user_pref("mail.server.server2.userName", "nobody");
user_pref("mail.server.server2.directory-rel", "[ProfD]Mail/Local Folders");
)";

// The desktop's choice of mail client, where xdg-mime and xdg-open look for it.
const char* const mimeApps = "[Default Applications]\nx-scheme-handler/mailto=thunderbird.desktop\n";

const char* const requiredPrograms[] = {"thunderbird", "Xvfb", "dbus-daemon", "xdg-mime", "xdg-open"};

} // namespace

std::string ThunderbirdDesktop::missingPrograms()
{
    std::string missing;
    for (const char* program : requiredPrograms) {
        if (findOnPath(program).empty())
            missing += (missing.empty() ? "" : ", ") + std::string(program);
    }
    return missing;
}

ThunderbirdDesktop::ThunderbirdDesktop()
    : home_(root_.file("home")), profile_(root_.file("home/.thunderbird/pellicor-e2e"))
{
    writeProfile();

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

    // The cache path has blanks, so the attachment path handed over has too.
    environment_ = {
        {"HOME", home_},
        {"XDG_CONFIG_HOME", home_ + "/.config"},
        {"XDG_DATA_HOME", home_ + "/.local/share"},
        {"XDG_CACHE_HOME", home_ + "/cache with blanks"},
        {"DISPLAY", ":" + display},
        {"DBUS_SESSION_BUS_ADDRESS", bus},
        // Profiles from profiles.ini, so every `thunderbird` started here
        // finds the running one's.
        {"MOZ_LEGACY_PROFILES", "1"},
        {"LANG", "C.UTF-8"},
        {"NO_AT_BRIDGE", "1"},
        // The generic desktop: xdg-utils then ask the mailto handler, not a desktop's own tools.
        {"XDG_CURRENT_DESKTOP", ""},
        {"DESKTOP_SESSION", ""},
        {"KDE_FULL_SESSION", ""},
        {"GNOME_DESKTOP_SESSION_ID", ""},
        {"WAYLAND_DISPLAY", ""},
        {"BROWSER", ""},
        {"MAILER", ""},
    };

    thunderbird_ = BackgroundProcess::start({"thunderbird", "--marionette", "-remote-allow-system-access"},
                                            processEnvironment(), root_.file("thunderbird.log"));
    if (!thunderbird_)
        throw std::runtime_error("thunderbird did not start");
    // The port is known once Thunderbird has written it; a file caught half
    // written fails to connect and is read again.
    const std::string portFile = profile_ + "/MarionetteActivePort";
    const auto deadline = std::chrono::steady_clock::now() + startTimeout;
    for (;;) {
        const std::string port = readFile(portFile);
        if (!port.empty()) {
            try {
                marionette_.connect(std::stoi(port), 60s);
                return;
            } catch (const MarionetteError&) {
            }
        }
        if (std::chrono::steady_clock::now() >= deadline || thunderbird_.waitForExit(0ms))
            throw std::runtime_error("Marionette did not come up:\n" + logs());
        std::this_thread::sleep_for(200ms);
    }
}

ThunderbirdDesktop::~ThunderbirdDesktop()
{
    if (thunderbird_) {
        // A clean quit where it comes soon; the process group is ended regardless.
        marionette_.quit(10s);
        thunderbird_.waitForExit(10s);
    }
}

std::string ThunderbirdDesktop::logs() const
{
    std::string text;
    for (const char* name : {"xvfb.log", "dbus.log", "thunderbird.log"})
        text += std::string("--- ") + name + "\n" + readFile(root_.file(name));
    return text;
}

void ThunderbirdDesktop::writeProfile() const
{
    fs::create_directories(profile_);
    fs::create_directories(home_ + "/.config");
    writeFile(home_ + "/.thunderbird/profiles.ini",
              "[General]\nStartWithLastProfile=1\n\n"
              "[Profile0]\nName=pellicor-e2e\nIsRelative=1\nPath=pellicor-e2e\nDefault=1\n");
    writeFile(profile_ + "/user.js", userJs);
    writeFile(home_ + "/.config/mimeapps.list", mimeApps);
}

std::vector<std::string> ThunderbirdDesktop::processEnvironment() const
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
