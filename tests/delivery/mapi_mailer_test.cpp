#include "delivery/mapi_mailer.h"

#include <gtest/gtest.h>

#include "tests/fakes/fake_mapi.h"
#include "tests/support/fake_mapi_record.h"
#include "tests/support/log_capture.h"

using namespace testing_support;

namespace {

// The records MapiMailer hands over for request, through entry.
FakeMapiRecord recordsOf(const std::string& entry, const ReportRequest& request)
{
    return {
        {"entry", entry},
        {"session", "0"},
        {"uiParam", "0"},
        {"flags", "9"},
        {"reserved", "0"},
        {"message", "set"},
        {"message.ulReserved", "0"},
        {"message.lpszSubject", request.subject},
        {"message.lpszNoteText", request.body},
        {"message.lpszMessageType", "null"},
        {"message.lpszDateReceived", "null"},
        {"message.lpszConversationID", "null"},
        {"message.flFlags", "0"},
        {"message.lpOriginator", "null"},
        {"message.nRecipCount", "1"},
        {"message.lpRecips", "set"},
        {"recip.ulReserved", "0"},
        {"recip.ulRecipClass", "1"},
        {"recip.lpszName", request.mailAddress},
        {"recip.lpszAddress", "SMTP:" + request.mailAddress},
        {"recip.ulEIDSize", "0"},
        {"recip.lpEntryID", "null"},
        {"message.nFileCount", "1"},
        {"message.lpFiles", "set"},
        {"file.ulReserved", "0"},
        {"file.flFlags", "0"},
        {"file.nPosition", "4294967295"},
        {"file.lpszPathName", request.attachZip},
        {"file.lpszFileName", "log.zip"},
        {"file.lpFileType", "null"},
    };
}

class MapiMailerTest : public ::testing::Test {
protected:
    void SetUp() override { load(FAKE_MAPI_PATH); }

    void load(const char* providerPath)
    {
        LogCapture::instance().clear();
        auto library = platform::DynamicLibrary::open(providerPath);
        ASSERT_TRUE(library) << providerPath;
        lastCall = reinterpret_cast<FakeMapiLastCallFunction>(library.symbol("FakeMapiLastCall"));
        setResult = reinterpret_cast<FakeMapiSetResultFunction>(library.symbol("FakeMapiSetResult"));
        ASSERT_TRUE(lastCall && setResult);
        setResult(0);
        mailer.reset(new MapiMailer(std::move(library)));
    }

    FakeMapiRecord handed() const { return parseFakeMapiRecord(lastCall()); }
    std::string field(const std::string& name) const { return recordedField(handed(), name); }

    std::unique_ptr<MapiMailer> mailer;
    FakeMapiLastCallFunction lastCall = nullptr;
    FakeMapiSetResultFunction setResult = nullptr;
    const ReportRequest request{"support@example.com", "Crash report", "Line one\nLine two", "/tmp/report.zip"};
};

} // namespace

TEST_F(MapiMailerTest, HandsTheProviderTheRecordsOfOneMail)
{
    ASSERT_TRUE(mailer->send(request));
    EXPECT_EQ(handed(), recordsOf("MAPISendMail", request));
}

TEST_F(MapiMailerTest, SendsNoAttachmentWhenNoneIsNamed)
{
    ASSERT_TRUE(mailer->send(ReportRequest{"", "s", "", ""}));
    EXPECT_EQ(field("message.nFileCount"), "0");
    EXPECT_EQ(field("message.lpFiles"), "null");
    EXPECT_EQ(field("recip.lpszName"), "");
    EXPECT_EQ(field("recip.lpszAddress"), "SMTP:");
}

TEST_F(MapiMailerTest, ReadsEachResultCode)
{
    struct Case {
        MapiULong code;
        bool delivered;
        int level;
        const char* line;
    };
    const Case cases[] = {
        {0, true, 6, "MAPI report sent\n"},
        {1, true, 6, "MAPI report user abort\n"},
        {3, false, 3, "MAPI report login failure\n"},
        {11, false, 3, "MAPI report attachment not found\n"},
        {2, false, 3, "MAPI report sendMail failed with error 2\n"},
        {0xFFFFFFFFu, false, 3, "MAPI report sendMail failed with error -1\n"},
    };
    for (const Case& c : cases) {
        LogCapture::instance().clear();
        setResult(c.code);
        EXPECT_EQ(mailer->send(request), c.delivered) << c.code;
        const auto lines = LogCapture::instance().lines();
        ASSERT_EQ(lines.size(), 1u) << c.code;
        EXPECT_EQ(lines[0].module, 0);
        EXPECT_EQ(lines[0].level, c.level);
        EXPECT_EQ(lines[0].message, c.line);
    }
}

TEST_F(MapiMailerTest, ResultsStayTheSameWithLoggingOff)
{
    Logger::getInstance()->setLevel(Logger::MODULE_MAIN, 2);
    setResult(1);
    EXPECT_TRUE(mailer->send(request));
    setResult(3);
    EXPECT_FALSE(mailer->send(request));
    Logger::getInstance()->setLevel(Logger::MODULE_MAIN, -1);
    EXPECT_TRUE(LogCapture::instance().lines().empty());
}

class WideMapiMailerTest : public MapiMailerTest {
protected:
    void SetUp() override { load(FAKE_MAPI_WIDE_PATH); }
};

TEST_F(WideMapiMailerTest, PrefersTheWideEntryPointAndKeepsEveryScript)
{
    const ReportRequest international{"s\xC3\xB8ren@example.dk", "\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xE2\x80\x94 \xE5\xA0\xB1\xE5\x91\x8A",
                                      "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80\nline two", "C:\\Temp\\r\xC3\xA9port.zip"};
    ASSERT_TRUE(mailer->send(international));
    EXPECT_EQ(handed(), recordsOf("MAPISendMailW", international));
}

TEST_F(WideMapiMailerTest, ReadsResultsAsTheNarrowRouteDoes)
{
    setResult(11);
    EXPECT_FALSE(mailer->send(ReportRequest{"a", "s", "b", ""}));
    EXPECT_EQ(field("message.nFileCount"), "0");
    EXPECT_EQ(field("message.lpFiles"), "null");
    EXPECT_EQ(LogCapture::instance().messages(), std::vector<std::string>{"MAPI report attachment not found\n"});
}

TEST_F(WideMapiMailerTest, ReplacesBrokenUtf8RatherThanDroppingTheMail)
{
    // What each bad run becomes: U+FFFD once per byte that leads nothing, once per cut-short or
    // invalid sequence.
    const std::pair<std::string, std::string> broken[] = {
        {"bad \xFF\xC3 end", "bad \xEF\xBF\xBD\xEF\xBF\xBD end"},
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},    // overlong "/", in bytes that lead nothing
        {"\xED\xA0\x80!", "\xEF\xBF\xBD!"},             // a surrogate
        {"\xF4\x90\x80\x80!", "\xEF\xBF\xBD!"},        // past U+10FFFF
    };
    for (const auto& [subject, expected] : broken) {
        ASSERT_TRUE(mailer->send(ReportRequest{"a", subject, "", ""}));
        EXPECT_EQ(field("message.lpszSubject"), expected) << subject;
    }
}

TEST(MapiMailerWithoutProvider, FailsQuietly)
{
    LogCapture::instance().clear();
    const ReportRequest request{"a", "s", "b", ""};
    MapiMailer none{platform::DynamicLibrary()};
    EXPECT_FALSE(none.send(request));

    MapiMailer withoutExport(platform::DynamicLibrary::open(FAKE_MAPI_WITHOUT_EXPORT_PATH));
    EXPECT_FALSE(withoutExport.send(request));
    EXPECT_TRUE(LogCapture::instance().lines().empty());
}
