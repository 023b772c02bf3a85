// The archive put in front of the user by a real file manager: the built
// program on the mailto route, Thunar under Xvfb on a session bus of its own,
// and what Thunar's accessibility tree says it shows.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/process.h"
#include "tests/support/background_process.h"
#include "tests/support/program_run.h"

using namespace std::chrono_literals;
using namespace testing_support;

TEST(ThunarReveal, ShowsTheArchiveSelectedInItsFolder)
{
    for (const char* program : {"Thunar", "Xvfb", "dbus-daemon", "dbus-send"}) {
        if (findOnPath(program).empty())
            GTEST_SKIP() << program << " is missing (scripts/install-deps.sh --e2e installs it)";
    }
    // A home of its own; the program's runs and the desktop share its variables.
    ProgramSandbox sandbox;
    TempDir root(TempDir::Name::Ascii);
    const std::string home = root.file("home");
    std::filesystem::create_directories(home + "/run");
    std::filesystem::permissions(home + "/run", std::filesystem::perms::owner_all);
    for (const auto& [name, value] : {std::pair{"HOME", home}, {"XDG_CONFIG_HOME", home + "/.config"},
                                      {"XDG_DATA_HOME", home + "/.local/share"}, {"XDG_CACHE_HOME", home + "/.cache"},
                                      {"XDG_RUNTIME_DIR", home + "/run"}, {"LANG", std::string("C.UTF-8")}})
        sandbox.setEnvironment(name, value);
    BackgroundProcess display = BackgroundProcess::start(
        {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"},
        sandbox.processOptions().environment, root.file("desktop.log"));
    sandbox.setEnvironment("DISPLAY", ":" + display.readLine(60s));
    BackgroundProcess bus = BackgroundProcess::start(
        {"dbus-daemon", "--session", "--nofork", "--print-address=3"}, sandbox.processOptions().environment,
        root.file("desktop.log"));
    sandbox.setEnvironment("DBUS_SESSION_BUS_ADDRESS", bus.readLine(60s));

    // Running before the run asks, as on a desk: the bus starts it and
    // answers once it owns its name.
    platform::ProcessOptions options = sandbox.processOptions();
    options.workingDirectory.clear();
    options.standardOutput = options.standardError = root.file("checks.log");
    const platform::ProcessOutcome started = platform::runProcess(
        {"dbus-send", "--session", "--print-reply", "--reply-timeout=60000", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.StartServiceByName", "string:org.freedesktop.FileManager1",
         "uint32:0"},
        90s, options);
    ASSERT_EQ(started.exitCode, 0) << readFile(root.file("desktop.log")) << readFile(root.file("checks.log"));

    sandbox.setEnvironment("PELLICOR_REVEAL_ARCHIVE", "1");
    // The mail goes to a stand-in; a folder handed to xdg-open fails the run's reveal.
    sandbox.addStandIn("xdg-open", "#!/bin/sh\ncase $1 in mailto:*) exit 0;; esac\nexit 4\n");
    const std::string folder = "J\xC3\xB6s\xC3\xA9 M\xC3\xBCller, 100% #1";
    std::filesystem::create_directory(std::filesystem::u8path(sandbox.workFile(folder)));
    writeFile(sandbox.workFile(folder + "/notes.txt"), "not this one");
    writeFile(sandbox.workFile(folder + "/report.zip"), "PK");
    writeFile(sandbox.workFile("issue.xml"), issueXml("a@b", "s", "", folder + "/report.zip"));
    const RunResult result = sandbox.run({"issue.xml"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.log.size(), 3u) << result.rawLog;

    const platform::ProcessOutcome shown =
        platform::runProcess({"/usr/bin/python3", THUNAR_SELECTION, folder, "report.zip"}, 90s, options);
    EXPECT_EQ(shown.exitCode, 0) << readFile(root.file("checks.log"));
    std::printf("%s", readFile(root.file("checks.log")).c_str());
}
