#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/background_process.h"
#include "tests/e2e/marionette.h"
#include "tests/support/temp_dir.h"

namespace e2e {

// A throw-away desktop whose mail client is Thunderbird: an X server (Xvfb),
// a session bus (through which a second `thunderbird` hands its command line
// to the running one), a home whose default mailto handler is Thunderbird,
// and Thunderbird itself on a fresh profile with one account, no first-run
// screens and Marionette listening.
class ThunderbirdDesktop {
public:
    // What the desktop needs that this machine lacks; empty when all is there.
    static std::string missingPrograms();
    // Throws std::runtime_error with what failed, and the logs, when it cannot start.
    ThunderbirdDesktop();
    ~ThunderbirdDesktop();

    // The variables a program started on this desktop sees, as xdg-utils and
    // Thunderbird read them; an empty value stands for an unset variable.
    const std::vector<std::pair<std::string, std::string>>& environment() const { return environment_; }
    Marionette& marionette() { return marionette_; }
    std::string logs() const;

private:
    void writeProfile() const;
    std::vector<std::string> processEnvironment() const;

    testing_support::TempDir root_;
    std::string home_;
    std::string profile_;
    std::vector<std::pair<std::string, std::string>> environment_;
    testing_support::BackgroundProcess display_;
    testing_support::BackgroundProcess bus_;
    testing_support::BackgroundProcess thunderbird_;
    Marionette marionette_;
};

} // namespace e2e
