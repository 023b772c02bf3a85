#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// A desktop of its own under root, whose default mailto: handler is the one
// desktop file a test chooses: the files xdg-mime reads (mimeapps.list,
// applications/*.desktop), a home, a cache, and a bin directory for stand-ins.
class MailHandlerDesktop {
public:
    explicit MailHandlerDesktop(const std::string& root);

    // Makes id, with this Exec line, the mailto: handler.
    void setHandler(const std::string& id, const std::string& exec, const std::string& name = "Mail Client") const;
    // A stand-in program in bin that writes its arguments, each ended by a
    // NUL, to record() and then runs thenDo.
    void addRecordingProgram(const std::string& name, const std::string& thenDo = "exit 0") const;
    // What the stand-ins were handed; empty when none ran.
    std::vector<std::string> recordedArguments() const;
    bool recorded() const;

    // The variables xdg-mime and the provider read, pointed into the tree;
    // PATH has bin first and then only the system's programs.
    std::vector<std::pair<std::string, std::string>> environment() const;

    std::string root, bin, home, cache, record;
};

} // namespace testing_support
