#include "delivery/mailto.h"

#include <gtest/gtest.h>

#include "mail/mailto_fit.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

namespace {

ReportRequest crashReport(const std::string& attachZip)
{
    return ReportRequest{"support", "Crash report", "Line one\nLine two", attachZip};
}

} // namespace

TEST(MailtoUrl, MatchesTheWorkedExamples)
{
    EXPECT_EQ(buildMailtoUrl(crashReport("C:/Temp/report.zip")),
              "mailto:support?subject=Crash%20report&body=Please%2C%20attach%20the%20file%20C:/Temp/report.zip"
              "%0D%0ALine%20one%0D%0ALine%20two");
    EXPECT_EQ(buildMailtoUrl(crashReport("")), "mailto:support?subject=Crash%20report&body=Line%20one%0D%0ALine%20two");
    EXPECT_EQ(buildMailtoUrl(ReportRequest{}), "mailto:?subject=&body=");
}

TEST(MailtoUrl, AskForTheArchiveOnALineOfItsOwn)
{
    EXPECT_EQ(buildMailtoUrl(ReportRequest{"a@b", "s", "", "C:/My Dir/report.zip"}),
              "mailto:a@b?subject=s&body=Please%2C%20attach%20the%20file%20C:/My%20Dir/report.zip%0D%0A");
}

TEST(MailtoUrl, SaysInOneWarningPerFieldWhatItShortened)
{
    using testing_support::LogCapture;
    const std::string shortened = "%0D%0A%5BText%20shortened%20to%20fit%20a%20mailto:%20link;%20characters%20left"
                                  "%20out:%20";
    LogCapture::instance().clear();
    EXPECT_EQ(buildMailtoUrl(ReportRequest{"a@b", "s", std::string(40, 'x'), ""}, 26 + 40),
              "mailto:a@b?subject=s&body=" + std::string(40, 'x'));
    EXPECT_TRUE(LogCapture::instance().lines().empty());

    const std::string url = buildMailtoUrl(ReportRequest{"a@b", "s", std::string(200, 'x'), ""}, 150);
    const std::size_t kept = 150 - 26 - shortened.size() - std::string("200%5D").size();
    EXPECT_EQ(url, "mailto:a@b?subject=s&body=" + std::string(kept, 'x') + shortened + std::to_string(200 - kept) + "%5D");
    std::vector<testing_support::LoggedLine> lines = LogCapture::instance().lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].module, Logger::MODULE_MAIN);
    EXPECT_EQ(lines[0].level, 4);
    EXPECT_EQ(lines[0].message, "Mailto body shortened to fit the URL limit of 150 bytes; characters left out: " + std::to_string(200 - kept) + "\n");

    LogCapture::instance().clear();
    const ReportRequest absurd{"a@b", std::string(500, 's'), std::string(1000, 'b'), "report.zip"};
    const FittedMailtoUrl fitted =
        fitMailtoUrl("a@b", absurd.subject, "Please, attach the file report.zip\n" + absurd.body, 35, 300);
    EXPECT_EQ(buildMailtoUrl(absurd, 300), fitted.url);
    EXPECT_EQ(LogCapture::instance().messages(),
              (std::vector<std::string>{"Mailto subject shortened to fit the URL limit of 300 bytes; characters left out: "
                                            + std::to_string(fitted.subjectCharactersLeftOut) + "\n",
                                        "Mailto body shortened to fit the URL limit of 300 bytes; characters left out: "
                                            + std::to_string(fitted.bodyCharactersLeftOut) + "\n"}));
    EXPECT_GT(fitted.subjectCharactersLeftOut, 0u);
    EXPECT_GT(fitted.bodyCharactersLeftOut, 0u);
}

TEST(MailtoEscape, KeepsOnlyUnreservedBytes)
{
    EXPECT_EQ(escapeMailtoUrl("AZaz09-._~!$'()*;:@/"), "AZaz09-._~!$'()*;:@/");
    EXPECT_EQ(escapeMailtoUrl(" \"&?#%=+,"), "%20%22%26%3F%23%25%3D%2B%2C");
    EXPECT_EQ(escapeMailtoUrl("\t\\\x7f\x80\xff"), "%09%5C%7F%80%FF");
    EXPECT_EQ(escapeMailtoUrl(std::string("a\0b", 3)), "a%00b");
    EXPECT_EQ(escapeMailtoUrl("J\xC3\xBCrgen"), "J%C3%BCrgen");
}

TEST(MailtoEscape, WritesEveryLineBreakAsCarriageReturnLineFeed)
{
    EXPECT_EQ(escapeMailtoUrl("a\nb"), "a%0D%0Ab");
    EXPECT_EQ(escapeMailtoUrl("a\r\nb"), "a%0D%0Ab");
    EXPECT_EQ(escapeMailtoUrl("a\rb"), "a%0D%0Ab");
    EXPECT_EQ(escapeMailtoUrl("a\n\nb"), "a%0D%0A%0D%0Ab");
    EXPECT_EQ(escapeMailtoUrl("a\n\r\nb"), "a%0D%0A%0D%0Ab");
    EXPECT_EQ(escapeMailtoUrl("\r"), "%0D%0A");
}

TEST(MailtoEscape, EveryOtherByteDecodesBackToItself)
{
    for (int c = 0; c < 256; ++c) {
        if (c == '\r' || c == '\n')
            continue;
        const std::string field = std::string("x") + static_cast<char>(c) + "y";
        const std::string escaped = escapeMailtoUrl(field);
        EXPECT_EQ(testing_support::percentDecoded(escaped), field) << "byte " << c;
        // Nothing left that a URL parser would read as structure.
        EXPECT_EQ(escaped.find_first_of(" \"&?#=+,<>\\\r\n"), std::string::npos) << "byte " << c;
    }
}

TEST(MailtoEscape, FieldsCannotAddHeaders)
{
    const std::string url = buildMailtoUrl(ReportRequest{"a@b", "x&cc=evil@example.com", "y#z", ""});
    EXPECT_EQ(url, "mailto:a@b?subject=x%26cc%3Devil@example.com&body=y%23z");
}

TEST(OpenMailto, HandsTheShellOneUrlAndReadsItsVerdict)
{
    std::vector<std::string> opened;
    auto shell = [&opened](std::intptr_t result) {
        return [&opened, result](const std::string& url) {
            opened.push_back(url);
            return result;
        };
    };
    const ReportRequest request = crashReport("");
    EXPECT_TRUE(openMailto(request, shell(33)));
    EXPECT_FALSE(openMailto(request, shell(32)));
    EXPECT_FALSE(openMailto(request, shell(0)));
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0], buildMailtoUrl(request));

    // However long the body, the shell gets a URL it can pass on.
    const ReportRequest longRequest{"a@b", "s", std::string(200000, '\n'), "report.zip"};
    EXPECT_TRUE(openMailto(longRequest, shell(33)));
    ASSERT_EQ(opened.size(), 4u);
    EXPECT_LE(opened[3].size(), platform::maxShellUrlLength());
    EXPECT_GT(opened[3].size(), platform::maxShellUrlLength() - 100);
}
