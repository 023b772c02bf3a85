#include <filesystem>

#include <gtest/gtest.h>

#include "platform/dynamic_library.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;

TEST(CurrentDirectory, HasNoLengthLimit)
{
    TempDir dir;
    fs::path deep = fs::u8path(dir.path());
    while (deep.u8string().size() < 600)
        deep /= std::string(60, 'd');
    fs::create_directories(deep);
    ScopedCurrentDirectory cwd(deep.u8string());

    std::string current;
    ASSERT_TRUE(platform::currentDirectory(current));
    EXPECT_GT(current.size(), 600u);
    EXPECT_TRUE(fs::equivalent(fs::u8path(current), deep));
    EXPECT_EQ(current.substr(0, dir.path().size()), dir.path());
}

TEST(DynamicLibrary, EmptyAndMissingLibrariesAreHarmless)
{
    platform::DynamicLibrary none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.symbol("MAPISendMail"), nullptr);
    none.release();

    platform::DynamicLibrary missing = platform::DynamicLibrary::open("no-such-library-anywhere.dll");
    EXPECT_FALSE(missing);
    platform::DynamicLibrary moved = std::move(missing);
    EXPECT_FALSE(moved);
}

TEST(RunProcess, HandsEveryArgumentOverUnchanged)
{
    TempDir dir;
    const std::string received = dir.file("received");
    const std::vector<std::string> arguments = {
        "plain", "two words", "", "\"quoted\"", "trailing backslash\\", "back\\\\slashes\\\"quote",
        "tab\there", "J\xC3\xBCrgen & 100% #1 \xE6\x9D\xB1\xE4\xBA\xAC", "--crash"};
    std::vector<std::string> argv{ECHO_ARGUMENTS_EXE, received};
    argv.insert(argv.end(), arguments.begin(), arguments.end());

    platform::ProcessOutcome outcome = platform::runProcess(argv, std::chrono::seconds(60));
    ASSERT_EQ(outcome.status, platform::ProcessOutcome::Exited);
    EXPECT_EQ(outcome.exitCode, static_cast<int>(arguments.size()));

    std::string expected;
    for (const std::string& argument : arguments)
        expected += argument + '\0';
    EXPECT_EQ(readFile(received), expected);
}

TEST(RunProcess, TellsAProgramThatCannotStart)
{
    platform::ProcessOutcome outcome = platform::runProcess({"no-such-program-anywhere"}, std::chrono::seconds(5));
    EXPECT_EQ(outcome.status, platform::ProcessOutcome::NotStarted);
}

TEST(RunProcess, RunsInTheDirectoryAndEnvironmentGiven)
{
    TempDir dir;
    platform::ProcessOptions options;
    options.workingDirectory = dir.path();
    options.environment = platform::currentEnvironment();
    platform::ProcessOutcome outcome =
        platform::runProcess({ECHO_ARGUMENTS_EXE, "relative.txt", "x"}, std::chrono::seconds(60), options);
    ASSERT_EQ(outcome.status, platform::ProcessOutcome::Exited);
    EXPECT_EQ(readFile(dir.file("relative.txt")), std::string("x", 2));
}
