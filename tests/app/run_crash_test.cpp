// Crash-mode runs of the built program in a directory laid out as a crashed
// host leaves it.

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/fake_mapi_record.h"
#include "tests/support/program_run.h"
#include "tests/support/zip_reader.h"

using namespace testing_support;

namespace {

const std::string configuration =
    "<?xml version=\"1.0\"?>\n"
    "<ORVAPlus>\n"
    "  <Environment><UserName>ACME-1234</UserName></Environment>\n"
    "  <Internet><SupportEmail>support@example.com</SupportEmail><FetchIntervalSecs>900</FetchIntervalSecs></Internet>\n"
    "</ORVAPlus>\n";

const std::string body =
    "Please, describe the issue here, thank you.\n\n\n\n"
    "Thank you for your feedback. Your report message will be processed and forwarded to support team. "
    "If you expect immediate reply, please contact VKD support team at numbers:\n"
    "    US Toll Free: 1-800-555-0199\n"
    "    International: +1-555-0199, option 6\n";

class RunCrashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sandbox.addProvider(FAKE_MAPI_PATH);
        sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RECORD", sandbox.workFile("mapi.txt"));
    }

    FakeMapiRecord handed() const { return parseFakeMapiRecord(readFile(sandbox.workFile("mapi.txt"))); }

    // The log without the lines of the archive and of the configuration.
    static Lines mainLines(const RunResult& result)
    {
        Lines lines;
        for (const std::string& line : result.log) {
            if (line.find("[MAIN:") != std::string::npos && line.find(" to ") == std::string::npos)
                lines.push_back(line);
        }
        return lines;
    }

    ProgramSandbox sandbox;
};

} // namespace

TEST_F(RunCrashTest, MailsTheLogsAndDumpsThatExistToSupport)
{
    writeFile(sandbox.workFile("ORVAPlus.xml"), configuration);
    const ZipEntries files = {{"QXF-0.log", "current log\n"},
                              {"QXF-prev.1.log", "older log\n"},
                              {"QXF-minidump.dmp", std::string("MDMP\0\x01\x02\xff", 8) + std::string(70000, '\0')}};
    // Written out of order: the archive keeps its own.
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        writeFile(sandbox.workFile(it->first), it->second);
    writeFile(sandbox.workFile("report.zip"), "the archive of an earlier crash");

    RunResult result = sandbox.run({"--crash"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(mainLines(result),
              (Lines{logStarted, " [MAIN:INFO] Crash mode entered", " [MAIN:INFO] MAPI report sent", logFinished}));

    const FakeMapiRecord mail = handed();
    EXPECT_EQ(recordedField(mail, "recip.lpszName"), "support@example.com");
    EXPECT_EQ(recordedField(mail, "recip.lpszAddress"), "SMTP:support@example.com");
    EXPECT_EQ(recordedField(mail, "message.lpszSubject"), "QXF feedback: Issue Report from user with license ACME-1234");
    EXPECT_EQ(recordedField(mail, "message.lpszNoteText"), body);
    EXPECT_EQ(recordedField(mail, "file.lpszFileName"), "log.zip");
    // The folder's name (outside ASCII where the suite runs so) arrives byte
    // for byte, in the mail and in the log.
    const std::string archive = recordedField(mail, "file.lpszPathName");
    ASSERT_EQ(archive.substr(0, sandbox.workDir().size()), sandbox.workDir());
    EXPECT_EQ(archive.substr(sandbox.workDir().size() + 1), "report.zip");
    EXPECT_NE(std::find(result.log.begin(), result.log.end(), " [MAIN:INFO] Adding QXF-0.log to " + archive),
              result.log.end()) << result.rawLog;
    EXPECT_EQ(zipEntries(archive), files);
    EXPECT_EQ(zipEntries(sandbox.workFile("report.zip")), files);

    // The product configuration is only read.
    EXPECT_EQ(readFile(sandbox.workFile("ORVAPlus.xml")), configuration);
}

TEST_F(RunCrashTest, GoesOutWithoutConfigurationOrFiles)
{
    writeFile(sandbox.workFile("report.zip"), "stale");
    RunResult result = sandbox.run({"--crash"});
    EXPECT_EQ(result.exitCode, 0);

    const FakeMapiRecord mail = handed();
    EXPECT_EQ(recordedField(mail, "recip.lpszName"), "");
    EXPECT_EQ(recordedField(mail, "message.lpszSubject"), "QXF feedback: Issue Report from user with license None");
    EXPECT_EQ(recordedField(mail, "message.lpszNoteText"), body);
    // The path is named though nothing was packed; the old archive is gone.
    EXPECT_NE(recordedField(mail, "file.lpszPathName").find("report.zip"), std::string::npos);
    EXPECT_FALSE(fileExists(sandbox.workFile("report.zip")));
    // A crash-mode run creates no configuration.
    EXPECT_FALSE(fileExists(sandbox.workFile("ORVAPlus.xml")));
    EXPECT_EQ(result.log[1], " [MAIN:INFO] Crash mode entered");
}

TEST_F(RunCrashTest, LeavesAnUnreadableConfigurationAsItFoundIt)
{
    const std::string garbage = std::string("\x00\x01<ORVAPlus><Internet>", 21);
    writeFile(sandbox.workFile("ORVAPlus.xml"), garbage);
    writeFile(sandbox.workFile("QXF-2.log"), "log");
    RunResult result = sandbox.run({"--crash"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(recordedField(handed(), "recip.lpszName"), "");
    EXPECT_EQ(readFile(sandbox.workFile("ORVAPlus.xml")), garbage);
    EXPECT_EQ(zipEntries(sandbox.workFile("report.zip")), (ZipEntries{{"QXF-2.log", "log"}}));
}

TEST_F(RunCrashTest, ReadsNoIssueFile)
{
    // Files a report-mode run would read are ignored.
    writeFile(sandbox.workFile("--crash"), "<IssueReport><MailAddress>x</MailAddress><Subject>y</Subject></IssueReport>");
    RunResult result = sandbox.run({"--crash"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(recordedField(handed(), "message.lpszSubject"), "QXF feedback: Issue Report from user with license None");
}

TEST_F(RunCrashTest, SaysInTheMailWhatItLeftOutToStayWithinTheLimit)
{
    sandbox.setEnvironment("PELLICOR_ARCHIVE_LIMIT_MB", "1");
    // Each deflates to more than the limit alone; sizes that round half up.
    writeFile(sandbox.workFile("QXF-minidump.dmp"), halfEntropyText(2950000, 1));
    writeFile(sandbox.workFile("QXF-prev.minidump.dmp"), halfEntropyText(2449999, 2));
    writeFile(sandbox.workFile("QXF-0.log"), "current log\n");
    RunResult result = sandbox.run({"--crash"});
    EXPECT_EQ(result.exitCode, 0);

    EXPECT_EQ(recordedField(handed(), "message.lpszNoteText"),
              body + "\nLeft out of the attached archive to keep this mail within 1 MB, the size that most mail services accept:\n"
                     "    QXF-minidump.dmp (3.0 MB)\n    QXF-prev.minidump.dmp (2.4 MB)\nThey are still in "
                  + sandbox.workDir() + ".\n");
    EXPECT_EQ(zipEntries(sandbox.workFile("report.zip")), (ZipEntries{{"QXF-0.log", "current log\n"}}));
    EXPECT_EQ(mainLines(result).size(), 6u) << result.rawLog;  // one warning a file left out
}
