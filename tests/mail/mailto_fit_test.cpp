#include "mail/mailto_fit.h"

#include <gtest/gtest.h>

#include "mail/mailto_field.h"
#include "tests/support/long_text.h"
#include "tests/support/temp_dir.h"

using testing_support::percentDecoded;
using testing_support::repeated;
using testing_support::sameLongText;

namespace {

// The two limits the desktops get: Linux's one argument, Windows' command line.
constexpr std::size_t linuxLimit = 126976;
constexpr std::size_t windowsLimit = 31744;

const std::string ask = "Please, attach the file /tmp/report 1.zip\n";
const std::string note = "\n[Text shortened to fit a mailto: link; characters left out: ";

// A text as the mail client shows it: each line feed as CR LF.
std::string shownAs(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

struct Case {
    const char* name;
    std::string character;  // one character of the body, as UTF-8
    std::size_t escaped;    // its length in the URL
};

const Case cases[] = {
    {"two-byte", "\xC3\xBC", 6},
    {"three-byte", "\xE6\x9D\xB1", 9},
    {"four-byte", "\xF0\x9F\x98\x80", 12},
    {"percent", "%", 3},
    {"blank", " ", 3},
    {"line break", "\r\n", 6},
};

} // namespace

TEST(MailtoFit, BodyJustUnderTheLimitStaysWholeAndJustOverIsCutAtACharacterWithTheNote)
{
    const std::string to = "support@example.com";
    const std::string subject = "Karte leer \xE2\x80\x93 100%";
    for (std::size_t limit : {linuxLimit, windowsLimit}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(limit));
            const std::string head = "mailto:" + escapeMailtoUrl(to) + "?subject=" + escapeMailtoUrl(subject)
                                     + "&body=" + escapeMailtoUrl(ask);
            const std::size_t fitting = (limit - head.size()) / c.escaped;

            const std::string under = ask + repeated(c.character, fitting);
            FittedMailtoUrl whole = fitMailtoUrl(to, subject, under, ask.size(), limit);
            EXPECT_TRUE(sameLongText(whole.url, head + escapeMailtoUrl(repeated(c.character, fitting))));
            EXPECT_LE(whole.url.size(), limit);
            EXPECT_EQ(whole.bodyCharactersLeftOut, 0u);

            const std::string over = ask + repeated(c.character, fitting + 1);
            FittedMailtoUrl cut = fitMailtoUrl(to, subject, over, ask.size(), limit);
            EXPECT_LE(cut.url.size(), limit);
            EXPECT_EQ(cut.subjectCharactersLeftOut, 0u);
            ASSERT_EQ(cut.url.rfind(head, 0), 0u);
            const std::string body = percentDecoded(cut.url.substr(cut.url.find("&body=") + 6));
            const std::string shown = "\r\n[Text shortened to fit a mailto: link; characters left out: "
                                      + std::to_string(cut.bodyCharactersLeftOut) + "]";
            ASSERT_GT(body.size(), shown.size());
            EXPECT_EQ(body.substr(body.size() - shown.size()), shown);
            // What is left is the ask and whole characters, as many as fit.
            const std::size_t kept = fitting + 1 - cut.bodyCharactersLeftOut;
            EXPECT_TRUE(sameLongText(body.substr(0, body.size() - shown.size()), shownAs(ask) + repeated(c.character, kept)));
            // One more would not fit, even with the note as long as it might have been.
            const std::size_t noteSlack =
                std::to_string(ask.size() + fitting + 1).size() - std::to_string(cut.bodyCharactersLeftOut).size();
            EXPECT_GT(cut.url.size() + c.escaped + noteSlack, limit);
        }
    }
}

TEST(MailtoFit, NeverCutsTheAskForTheArchive)
{
    const std::string body = ask + repeated("x", 100);
    for (std::size_t limit : {std::size_t(0), std::size_t(10), std::size_t(60)}) {
        const FittedField fitted = fitMailtoBody(body, ask.size(), limit);
        EXPECT_EQ(fitted.escaped, escapeMailtoUrl(ask) + escapeMailtoUrl(note + "100]")) << limit;
        EXPECT_EQ(fitted.charactersLeftOut, 100u);
    }
    // Nothing but the ask: nothing to cut, however far over.
    EXPECT_EQ(fitMailtoBody(ask, ask.size(), 5).escaped, escapeMailtoUrl(ask));
    EXPECT_EQ(fitMailtoBody(ask, ask.size(), 5).charactersLeftOut, 0u);
}

TEST(MailtoFit, CountsBrokenUtf8ByteByByteAndKeepsCrLfTogether)
{
    // A stray continuation byte, a lead byte cut short, a CR LF, a lone CR.
    const std::string body = std::string("\x80") + "\xE6\x9D" + "a\r\nb\rc" + repeated("x", 100);
    const std::size_t noteLength = escapeMailtoUrl(note + "107]").size();
    // "%80" "%E6%9D" "a" "%0D%0A": room for three characters, not half a line break.
    const FittedField cut = fitMailtoBody(body, 0, noteLength + 3 + 6 + 1 + 5);
    EXPECT_EQ(percentDecoded(cut.escaped), std::string("\x80\xE6\x9D") + "a" + shownAs(note) + "104]");
    EXPECT_EQ(cut.charactersLeftOut, 104u);
}

TEST(MailtoFit, CutsTheSubjectOnlyWhenItAloneOverrunsTheUrl)
{
    const std::string to = "support@example.com";
    const std::string body = ask + repeated("y", 50000);

    // Long but possible: the subject stays whole, the body gives way.
    const std::string longSubject = repeated("\xC3\xBC", windowsLimit / 12);
    FittedMailtoUrl kept = fitMailtoUrl(to, longSubject, body, ask.size(), windowsLimit);
    EXPECT_LE(kept.url.size(), windowsLimit);
    EXPECT_EQ(kept.subjectCharactersLeftOut, 0u);
    EXPECT_NE(kept.url.find("?subject=" + escapeMailtoUrl(longSubject) + "&body="), std::string::npos);
    EXPECT_GT(kept.bodyCharactersLeftOut, 0u);

    // Absurd: cut the same visible way; the body keeps the ask and its note.
    const std::string absurdSubject = repeated("\xC3\xBC", windowsLimit);
    FittedMailtoUrl cut = fitMailtoUrl(to, absurdSubject, body, ask.size(), windowsLimit);
    EXPECT_LE(cut.url.size(), windowsLimit);
    const std::size_t bodyAt = cut.url.find("&body=");
    ASSERT_NE(bodyAt, std::string::npos);
    const std::string subject = percentDecoded(cut.url.substr(0, bodyAt).substr(("mailto:" + to + "?subject=").size()));
    const std::string subjectNote =
        " [shortened; characters left out: " + std::to_string(cut.subjectCharactersLeftOut) + "]";
    EXPECT_TRUE(sameLongText(subject, repeated("\xC3\xBC", windowsLimit - cut.subjectCharactersLeftOut) + subjectNote));
    EXPECT_GT(cut.subjectCharactersLeftOut, windowsLimit / 2);
    // What room the subject's cut leaves over goes to the body.
    EXPECT_GE(cut.bodyCharactersLeftOut, 50000u - 6);
    ASSERT_LE(cut.bodyCharactersLeftOut, 50000u);
    EXPECT_TRUE(sameLongText(percentDecoded(cut.url.substr(bodyAt + 6)),
                             shownAs(ask + repeated("y", 50000 - cut.bodyCharactersLeftOut) + note
                                     + std::to_string(cut.bodyCharactersLeftOut) + "]")));
}

TEST(MailtoFit, NeverCutsTheRecipient)
{
    const std::string to = repeated("a", 200) + "@example.com";
    FittedMailtoUrl fitted = fitMailtoUrl(to, "subject", "body", 0, 100);
    EXPECT_EQ(fitted.url.rfind("mailto:" + to + "?subject=", 0), 0u);
    EXPECT_EQ(fitted.subjectCharactersLeftOut, 7u);
    EXPECT_EQ(fitted.bodyCharactersLeftOut, 4u);
}
