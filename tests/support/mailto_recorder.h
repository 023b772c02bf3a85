#pragma once

#include <cstdio>
#include <string>

#include "tests/support/program_run.h"

namespace testing_support {

// Makes the desktop's mailto: handler, for the sandbox's runs, a recorder
// that keeps the URL it is handed: on Linux a stand-in for xdg-open, under
// Wine the program winebrowser starts for mailto: URLs.
class MailtoRecorder {
public:
    // Why this system cannot record; empty when it can.
    static std::string unavailable();

    // Starts with no URL recorded.
    explicit MailtoRecorder(ProgramSandbox& sandbox);
    // The URL the handler was handed, once it is there; empty when none came.
    std::string url() const;
    // Forgets the URL recorded so far.
    void clear() const { std::remove(record_.c_str()); }

private:
    std::string record_;
};

} // namespace testing_support
