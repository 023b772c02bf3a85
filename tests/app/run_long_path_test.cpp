// A crash-mode run in a directory deeper than Windows' old 260-character
// limit. Wine cannot start a program in such a directory, so this runs where
// the system can; the platform tests cover the directory lookup on Windows.

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/support/fake_mapi_record.h"
#include "tests/support/program_run.h"
#include "tests/support/zip_reader.h"

using namespace testing_support;

TEST(RunLongPath, CrashReportWorksPastTheOldPathLimit)
{
    ProgramSandbox sandbox;
    sandbox.addProvider(FAKE_MAPI_PATH);
    std::string deep = sandbox.workDir();
    while (deep.size() < 300)
        deep += "/" + std::string(50, 'd');
    std::filesystem::create_directories(deep);
    writeFile(deep + "/QXF-0.log", "deep log");
    sandbox.setWorkDir(deep);
    sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RECORD", deep + "/mapi.txt");

    RunResult result = sandbox.run({"--crash"});
    EXPECT_EQ(result.exitCode, 0);
    const std::string archive = recordedField(parseFakeMapiRecord(readFile(deep + "/mapi.txt")), "file.lpszPathName");
    EXPECT_GT(archive.size(), 300u);
    EXPECT_EQ(zipEntries(archive), (ZipEntries{{"QXF-0.log", "deep log"}}));
}
