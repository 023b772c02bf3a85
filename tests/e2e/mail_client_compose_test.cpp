// The mail reaches the real Claws Mail, Sylpheed and Evolution, each as the
// desktop's mailto handler under Xvfb, not yet running and already running.
// The proof is what the client would send: the draft its own Save action
// wrote, read back by save_draft.py.

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "tests/e2e/mail_client_desktop.h"
#include "tests/support/program_run.h"

using namespace testing_support;
using e2e::MailClientDesktop;
using e2e::MailClientProfile;

namespace {

const std::string recipient = "support+pellicor@example.com";
const std::string subject = "Karte leer – Müller & Co. 100% %41 \"quoted\" 'single' back\\slash, comma";
const std::string body = "Grüße aus Zürich: 東京 ✓\n"
                         "Tom & Jerry, 50% off, issue #42, %41\n"
                         "\n"
                         "   leading blanks, \"double\" and 'single' quotes,\n"
                         "a back\\slash and a literal \\n\n"
                         "a query?to=x&subject=y&body=%41\n"
                         "\n"
                         "last line";
const std::string zipBytes = "PK\x03\x04 not really a zip \xff";
const std::string zipHex = "504b0304206e6f74207265616c6c792061207a697020ff";
const std::string note = "[Text shortened to fit a mailto: link; characters left out: ";

std::string tail(const std::string& text)
{
    return text.substr(text.size() - std::min<std::size_t>(text.size(), 300));
}

std::string withoutTrailingLineEnds(std::string text)
{
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

struct Case {
    const char* name;
    bool running;      // the client already runs when the mail comes
    bool longBody;     // 200 KB
    bool archiveGone;  // the issue names an archive that is not there
};

const Case cases[] = {
    {"cold", false, false, false}, {"cold, 200 KB body", false, true, false}, {"cold, archive missing", false, false, true},
    {"warm", true, false, false},  {"warm, 200 KB body", true, true, false},  {"warm, archive missing", true, false, true},
};

struct ClientUnderTest {
    const MailClientProfile* profile;
    bool readsBodyFile;  // else the body goes in the URL, cut with the note where it must be
    bool keepsBlanksAsNoBreakSpaces;  // Evolution's editor keeps a run of blanks so
    friend void PrintTo(const ClientUnderTest& client, std::ostream* out) { *out << client.profile->program; }
};

class MailClientCompose : public ::testing::TestWithParam<ClientUnderTest> {};

TEST_P(MailClientCompose, SavesEveryFieldAndTheArchiveColdAndWarm)
{
    const MailClientProfile& client = *GetParam().profile;
    if (const std::string missing = MailClientDesktop::missingPrograms(client); !missing.empty())
        GTEST_SKIP() << "needs " << missing << " (scripts/install-deps.sh --e2e installs them)";
    MailClientDesktop desktop(client);
    std::string longBody;
    for (int line = 0; longBody.size() < 200 * 1024; ++line)
        longBody += "Zeile " + std::to_string(line) + ": Grüße aus 東京, 100% & mehr\n";

    bool started = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.running)
            desktop.stopClient();
        else if (!started)
            desktop.startClient();
        started = started || c.running;
        ProgramSandbox sandbox;
        sandbox.addProvider(XDG_MAPI_PATH);
        for (const auto& [name, value] : desktop.environment())
            sandbox.setEnvironment(name, value);
        const std::string zip = sandbox.workFile(c.archiveGone ? "gone.zip" : "report 1.zip");
        if (!c.archiveGone)
            writeFile(zip, zipBytes);
        const std::string& mailBody = c.longBody ? longBody : body;
        writeFile(sandbox.workFile("issue.xml"), "<IssueReport><MailAddress>" + xmlText(recipient) + "</MailAddress><Subject>"
                                                     + xmlText(subject) + "</Subject><Body>" + xmlText(mailBody)
                                                     + "</Body><AttachZip>" + xmlText(zip) + "</AttachZip></IssueReport>");

        const RunResult result = sandbox.run({"issue.xml"});
        ASSERT_EQ(result.exitCode, 0) << result.rawLog;
        EXPECT_EQ(result.log.at(1), c.archiveGone ? " [MAIN:ERROR] MAPI report attachment not found"
                                                  : " [MAIN:INFO] MAPI report sent");
        nlohmann::json draft;
        try {
            draft = nlohmann::json::parse(desktop.saveDraft(subject));
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
        EXPECT_EQ(draft["to"], recipient);
        EXPECT_EQ(draft["subject"], subject);
        EXPECT_TRUE(draft["closed"].get<bool>()) << "the compose window stayed open";
        std::string saved = withoutTrailingLineEnds(draft["body"].get<std::string>());
        for (std::size_t at; GetParam().keepsBlanksAsNoBreakSpaces && (at = saved.find("\u00A0")) != std::string::npos;)
            saved.replace(at, 2, " ");
        if (c.archiveGone) {
            // The mailto: route, which names the archive where it should lie.
            EXPECT_EQ(saved, "Please, attach the file " + zip + "\n" + body);
            EXPECT_TRUE(draft["attachments"].empty());
            continue;
        }
        EXPECT_EQ(draft["attachments"], nlohmann::json::array({{"log.zip", zipHex}}));
        if (!c.longBody || GetParam().readsBodyFile) {
            EXPECT_TRUE(saved == withoutTrailingLineEnds(mailBody))
                << saved.size() << " of " << mailBody.size() << " bytes, ending in:\n" << tail(saved);
            continue;
        }
        // Whole lines and part of one, then the note on a line of its own, counting what is missing.
        const std::size_t cut = saved.rfind("\n" + note);
        ASSERT_NE(cut, std::string::npos) << tail(saved);
        EXPECT_GT(cut, 2000u);
        EXPECT_EQ(longBody.substr(0, cut), saved.substr(0, cut));
        std::size_t missing = 0;
        for (std::size_t i = cut; i < longBody.size(); ++i)
            missing += (static_cast<unsigned char>(longBody[i]) & 0xC0) != 0x80;
        EXPECT_EQ(saved.substr(cut + 1 + note.size()), std::to_string(missing) + "]");
    }
}

INSTANTIATE_TEST_SUITE_P(RealClients, MailClientCompose,
                         ::testing::Values(ClientUnderTest{&e2e::clawsMail, true, false},
                                           ClientUnderTest{&e2e::sylpheed, false, false},
                                           ClientUnderTest{&e2e::evolution, false, true}),
                         [](const auto& info) {
                             std::string name = info.param.profile->program;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

} // namespace
