#pragma once

#include <string>
#include <vector>

#include "tests/support/background_process.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

// A session bus of the test's own (dbus-daemon with a configuration of its
// own), ended with the object. Unless fileManager is None, the name
// org.freedesktop.FileManager1 on it belongs to a recording stand-in that the
// bus starts on the first call, which answers, refuses or stays silent.
// NoBus: there is no session bus at all.
class FileManagerBus {
public:
    enum class FileManager { None, Answering, Refusing, Silent, NoBus };
    explicit FileManagerBus(FileManager fileManager);

    // The sandbox's runs show the archive, on this bus and no other.
    void serve(ProgramSandbox& sandbox) const;
    // Each call the file manager was handed: its method ("ShowItems"), a
    // "uri=" line per URI, then "startup-id=" and the id.
    std::vector<std::string> calls() const;

private:
    TempDir dir_{TempDir::Name::Ascii};
    std::string address_;
    BackgroundProcess daemon_;
};

} // namespace testing_support
