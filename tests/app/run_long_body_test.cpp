// Runs whose body is longer than a mailto: URL may carry, on the mailto
// route to a recording handler: on Linux through xdg-open, on Windows
// through ShellExecute and winebrowser.

#include <memory>

#include <gtest/gtest.h>

#include "delivery/mailto.h"
#include "mail/mailto_fit.h"
#include "tests/support/long_text.h"
#include "tests/support/mailto_recorder.h"

using namespace testing_support;

namespace {

// What every URL of these runs starts with, the ask for the archive included.
const std::string head = "mailto:support@example.com?subject=Blank%20map&body=Please%2C%20attach%20the%20file%20"
                         "C:%5CMy%20Dir%5Creport.zip%0D%0A";
const std::string umlaut = "\xC3\xBC";
const std::size_t umlautEscaped = 6;

class RunLongBodyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string reason = MailtoRecorder::unavailable();
        if (!reason.empty())
            GTEST_SKIP() << reason;
        // The provider fails as xdg-email does on a long body: the mailto route follows.
        sandbox.addProvider(FAKE_MAPI_PATH);
        sandbox.setEnvironment("PELLICOR_FAKE_MAPI_RESULT", "2");
        recorder = std::make_unique<MailtoRecorder>(sandbox);
    }

    RunResult runWithBody(const std::string& body)
    {
        writeFile(sandbox.workFile("issue.xml"),
                  issueXml("support@example.com", "Blank map", body, "C:\\My Dir\\report.zip"));
        recorder->clear();
        return sandbox.run({"issue.xml"});
    }

    static std::string shortenedLine(std::size_t charactersLeftOut)
    {
        return " [MAIN:WARN] Mailto body shortened to fit the URL limit of "
               + std::to_string(platform::maxShellUrlLength())
               + " bytes; characters left out: " + std::to_string(charactersLeftOut);
    }

    ProgramSandbox sandbox;
    std::unique_ptr<MailtoRecorder> recorder;
};

} // namespace

TEST_F(RunLongBodyTest, HandsOnABodyJustUnderTheLimitWholeAndCutsOneJustOver)
{
    const std::size_t limit = platform::maxShellUrlLength();
    const std::size_t fitting = (limit - head.size()) / umlautEscaped;

    RunResult whole = runWithBody(repeated(umlaut, fitting));
    EXPECT_EQ(whole.exitCode, 0);
    EXPECT_EQ(whole.log.back(), logFinished);
    EXPECT_EQ(whole.log.end()[-2], logMailtoFallback);
    EXPECT_TRUE(sameLongText(recorder->url(), head + repeated("%C3%BC", fitting)));

    RunResult cut = runWithBody(repeated(umlaut, fitting + 1));
    EXPECT_EQ(cut.exitCode, 0);
    const std::string url = recorder->url();
    EXPECT_LE(url.size(), limit);
    // Whole characters up to a note that says how many are missing, as the log does.
    const std::size_t noteAt = url.find("%0D%0A%5BText");
    ASSERT_NE(noteAt, std::string::npos) << url.substr(url.size() > 200 ? url.size() - 200 : 0);
    const std::size_t kept = (noteAt - head.size()) / umlautEscaped;
    EXPECT_TRUE(sameLongText(url.substr(0, noteAt), head + repeated("%C3%BC", kept)));
    EXPECT_EQ(url.substr(noteAt), escapeMailtoUrl(shortenedBodyNote(fitting + 1 - kept)));
    ASSERT_GE(cut.log.size(), 3u);
    EXPECT_EQ(Lines(cut.log.end() - 3, cut.log.end()),
              (Lines{logMailtoFallback, shortenedLine(fitting + 1 - kept), logFinished}));
}

TEST_F(RunLongBodyTest, MailsABodyFarLongerThanTheLimit)
{
    // 160 KB in characters that take 3 to 9 bytes each once escaped.
    std::string body;
    while (body.size() < 160 * 1024)
        body += "Gr\xC3\xBC\xC3\x9F" "e aus \xE6\x9D\xB1\xE4\xBA\xAC: 100% & \"mehr\"\n";
    RunResult result = runWithBody(body);
    EXPECT_EQ(result.exitCode, 0) << result.rawLog;
    EXPECT_EQ(result.log.back(), logFinished);
    const std::string url = recorder->url();
    EXPECT_LE(url.size(), platform::maxShellUrlLength());
    EXPECT_EQ(url.rfind(head + "Gr%C3%BC%C3%9Fe%20aus%20%E6%9D%B1%E4%BA%AC:%20100%25%20%26%20%22mehr%22%0D%0A", 0), 0u);
    const std::string note = "%0D%0A%5BText%20shortened%20to%20fit%20a%20mailto:%20link;%20characters%20left%20out:%20";
    EXPECT_NE(url.find(note), std::string::npos);
}
