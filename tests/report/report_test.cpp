#include "pellicor/report.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/issue_definition_reader.h"
#include "report/launch.h"
#include "tests/support/fake_mapi_record.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

pellicor::IssueReport reportOf(const std::string& text)
{
    return {"support@example.com", text, text, text};
}

ReportRequest readBack(const std::string& path)
{
    ReportRequest request;
    IssueDefinitionReader reader;
    reader.read(path, request);
    return request;
}

class IssueFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("issue.xml");
    std::string error;
};

} // namespace

TEST_F(IssueFile, IsWrittenWithEveryCharacterEscapedThatXmlNeeds)
{
    ASSERT_TRUE(pellicor::writeIssueFile(path, {"a&b@example.com", "<Map> & \"it's\"", "one\r\ntwo]]>", ""}, error))
        << error;
    EXPECT_EQ(readFile(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<IssueReport>\n"
                              "  <MailAddress>a&amp;b@example.com</MailAddress>\n"
                              "  <Subject>&lt;Map&gt; &amp; &quot;it&apos;s&quot;</Subject>\n"
                              "  <Body>one&#13;\ntwo]]&gt;</Body>\n"
                              "  <AttachZip></AttachZip>\n"
                              "</IssueReport>\n");
}

TEST_F(IssueFile, ReadsBackThroughTheProgramsReaderFieldForField)
{
    const std::string hostile[] = {
        "&<>\"'",
        "&amp; &#65; &#x42; &unknown; &",
        "]]> <![CDATA[x]]> <!-- not a comment --> <?pi?>",
        "line\nbreaks\r\nof\revery\n\nkind\r\n",
        "  \tblanks around\t  ",
        "J\xC3\xB6s\xC3\xA9 M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80 \xEF\xBF\xBD",
        " ",
    };
    for (const std::string& text : hostile) {
        ASSERT_TRUE(pellicor::writeIssueFile(path, reportOf(text), error)) << text << ": " << error;
        const ReportRequest request = readBack(path);
        EXPECT_EQ(request.mailAddress, "support@example.com");
        EXPECT_EQ(request.subject, text);
        EXPECT_EQ(request.body, text);
        EXPECT_EQ(request.attachZip, text);
    }

    ASSERT_TRUE(pellicor::writeIssueFile(path, {"a@b", "s", "", ""}, error)) << error;
    const ReportRequest bare = readBack(path);
    EXPECT_EQ(bare.body, "");
    EXPECT_EQ(bare.attachZip, "");
}

TEST_F(IssueFile, RefusesWhatPellicorCouldNotReadAndKeepsTheOldFile)
{
    writeFile(path, "old");
    const std::pair<pellicor::IssueReport, std::string> refused[] = {
        {{"", "s", "", ""}, "MailAddress is empty"},
        {{"a@b", "", "", ""}, "Subject is empty"},
        {{"a@b", "s", std::string("nul\0byte", 8), ""}, "Body holds a byte that is no UTF-8 or a character XML cannot carry, at offset 3"},
        {{"a@b", "bell\x07", "", ""}, "Subject holds a byte"},
        {{"a@b", "s", "", "\xFF.zip"}, "AttachZip holds a byte"},
        {{"a@b", "s", "\xC3", ""}, "Body holds a byte"},              // cut short
        {{"a@b", "s", "\xC0\xAF", ""}, "Body holds a byte"},          // overlong "/"
        {{"a@b", "s", "\xE0\x9F\xBF", ""}, "Body holds a byte"},      // overlong U+07FF
        {{"a\xED\xA0\x80", "s", "", ""}, "MailAddress holds a byte"}, // a surrogate
        {{"a@b", "s", "\xEF\xBF\xBE", ""}, "Body holds a byte"},      // U+FFFE
        {{"a@b", "s", "\xF4\x90\x80\x80", ""}, "Body holds a byte"}, // past U+10FFFF
    };
    for (const auto& [report, reason] : refused) {
        EXPECT_FALSE(pellicor::writeIssueFile(path, report, error));
        EXPECT_EQ(error.rfind("issue file " + path + " not written: " + reason, 0), 0u) << error;
    }
    EXPECT_EQ(readFile(path), "old");

    EXPECT_FALSE(pellicor::writeIssueFile(dir.file("missing/issue.xml"), reportOf("x"), error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(fs::u8path(dir.file("missing"))));
}

TEST(StartPellicor, SaysWhyItCannotStartAProgram)
{
    TempDir dir;
    std::string error;
    const std::string missing = dir.file("no-pellicor");
    EXPECT_FALSE(pellicor::startPellicor(missing, "issue.xml", error));
    EXPECT_EQ(error.rfind("cannot start " + missing + ": ", 0), 0u) << error;
    EXPECT_GT(error.size(), ("cannot start " + missing + ": ").size());

    error.clear();
    EXPECT_FALSE(pellicor::startPellicor("", "issue.xml", error));
    EXPECT_EQ(error, "no program to start");
    // A path, never a name looked up in PATH.
    EXPECT_FALSE(pellicor::startPellicor("sh", "issue.xml", error));
}

// The host's whole path: write the file, start the program on it without a
// shell, and the mail client gets the texts as the user typed them.
TEST(StartPellicor, StartsTheProgramOnTheIssueFileWithoutWaitingForIt)
{
    ProgramSandbox sandbox;
    sandbox.addProvider(FAKE_MAPI_PATH);
    // Inherited by the program the library starts, and so by its provider.
    ASSERT_TRUE(platform::setEnvironmentVariable("PELLICOR_FAKE_MAPI_RECORD", sandbox.workFile("mapi.txt")));
    std::optional<ScopedCurrentDirectory> inWorkDir(std::in_place, sandbox.workDir());

    std::string error;
    const std::string subject = "Tom & Jerry <3 \"quoted\" 'too' $HOME `id` ; |";
    // The host's own archive, above the limit the host passes: attached as it is.
    writeFile("host.zip", std::string(1000001, 'z'));
    ASSERT_TRUE(pellicor::writeIssueFile("issue file.xml", {"support@example.com", subject, "x", "host.zip"}, error));
    platform::StartedProcess pellicor =
        pellicor::launchPellicor(sandbox.commandLine({})[0], "issue file.xml", pellicor::StartOptions{1}, error);
    ASSERT_TRUE(pellicor) << error;
    const platform::ProcessOutcome outcome = pellicor.waitFor(std::chrono::seconds(60));
    inWorkDir.reset();

    RunResult result;
    sandbox.readLog(result);

    ASSERT_EQ(outcome.status, platform::ProcessOutcome::Exited) << result.rawLog;
    EXPECT_EQ(outcome.exitCode, 0) << result.rawLog;
    const FakeMapiRecord mail = parseFakeMapiRecord(readFile(sandbox.workFile("mapi.txt")));
    EXPECT_EQ(recordedField(mail, "message.lpszSubject"), subject) << result.rawLog;
    EXPECT_EQ(recordedField(mail, "recip.lpszAddress"), "SMTP:support@example.com");
    EXPECT_EQ(recordedField(mail, "file.lpszPathName"), "host.zip");
    EXPECT_EQ(result.log.at(1), " [MAIN:WARN] Attachment host.zip is 1000001 bytes, more than the mail size limit of "
                                "1000000 bytes; it is handed over as it is") << result.rawLog;
    EXPECT_FALSE(pellicor::startPellicor("pellicor", "issue.xml", pellicor::StartOptions{100001}, error));
    EXPECT_EQ(error, "archive limit of 100001 MB is above the largest, 100000 MB; Pellicor not started");
}
