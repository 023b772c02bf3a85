#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/background_process.h"
#include "tests/support/temp_dir.h"

namespace e2e {

// A mail client from Debian's packages, as the e2e tests drive it.
struct MailClientProfile {
    const char* program;      // the client's program, and the name its process shows
    const char* desktopFile;  // its package's desktop file, made the mailto handler
    const char* title;        // its compose window's title, %s standing for the subject
    const char* drafts;       // where, under the home, its Save/Draft action writes the message
    const char* saveKeys;
    const char* closeKeys;
    const char* mainWindow;   // the start of its main window's title, once it runs
};

extern const MailClientProfile clawsMail, sylpheed, evolution;

// A throw-away desktop whose mailto handler is one real client: an X server
// (Xvfb), a session bus, and a home with the client's settings (one account,
// no first-run screens, a drafts folder) and private socket directories.
class MailClientDesktop {
public:
    // What the desktop needs that this machine lacks; empty when all is there.
    static std::string missingPrograms(const MailClientProfile& client);
    // Throws std::runtime_error with what failed when it cannot start.
    explicit MailClientDesktop(const MailClientProfile& client);
    ~MailClientDesktop();

    // The variables a program started on this desktop sees; empty values are unset.
    const std::vector<std::pair<std::string, std::string>>& environment() const { return environment_; }
    // Starts the client on its own and waits for its main window.
    void startClient();
    // Ends every instance of the client on this desktop, whoever started it.
    void stopClient();
    // Has the client save the compose window with this subject as a draft and
    // close it; the saved message as save_draft.py reads it (JSON), or throws.
    std::string saveDraft(const std::string& subject);
    std::string logs() const;

private:
    std::vector<std::string> processEnvironment() const;
    std::string runDriver(const std::vector<std::string>& arguments, const std::string& name);

    const MailClientProfile& client_;
    testing_support::TempDir root_;
    std::string home_;
    std::vector<std::pair<std::string, std::string>> environment_;
    BackgroundProcess display_;
    BackgroundProcess bus_;
    BackgroundProcess instance_;
};

} // namespace e2e
