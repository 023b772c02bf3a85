#include "app/issue_definition_reader.h"

#include <gtest/gtest.h>

#include "pellicor/logging.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;

namespace {

class IssueDefinitionReaderTest : public ::testing::Test {
protected:
    void SetUp() override { LogCapture::instance().clear(); }

    // Reads a file with the given bytes; the error text when it throws.
    std::string readBytes(const std::string& bytes)
    {
        const std::string path = dir.file("issue.xml");
        writeFile(path, bytes);
        return readPath(path);
    }

    std::string readPath(const std::string& path)
    {
        request = ReportRequest{};
        try {
            IssueDefinitionReader reader;
            reader.read(path, request);
        } catch (const LoggedException& error) {
            return error.what();
        }
        return "";
    }

    static std::string report(const std::string& children)
    {
        return "<?xml version=\"1.0\"?>\n<IssueReport>" + children + "</IssueReport>\n";
    }

    TempDir dir;
    ReportRequest request;
};

const char* const notValid = "Issue config XML is not valid.";
const char* const badRoot = "Invalid issue config XML root element.";

} // namespace

TEST_F(IssueDefinitionReaderTest, CopiesTheFourFieldsAsTheyStand)
{
    EXPECT_EQ(readBytes(report("<MailAddress>support@example.com</MailAddress>"
                               "<Subject>Map stays blank</Subject>"
                               "<Body>\n  Line one\n\tLine two &amp; &lt;three&gt; &#x263A;\n</Body>"
                               "<AttachZip>C:\\Temp\\report.zip</AttachZip>")),
              "");
    EXPECT_EQ(request.mailAddress, "support@example.com");
    EXPECT_EQ(request.subject, "Map stays blank");
    EXPECT_EQ(request.body, "\n  Line one\n\tLine two & <three> \xE2\x98\xBA\n");
    EXPECT_EQ(request.attachZip, "C:\\Temp\\report.zip");
}

TEST_F(IssueDefinitionReaderTest, BodyAndAttachmentAreOptional)
{
    EXPECT_EQ(readBytes(report("<Subject>s</Subject><MailAddress>a</MailAddress>")), "");
    EXPECT_EQ(request.body, "");
    EXPECT_EQ(request.attachZip, "");
}

TEST_F(IssueDefinitionReaderTest, RequiresRecipientAndSubject)
{
    EXPECT_EQ(readBytes(report("<Subject>s</Subject>")), notValid);
    EXPECT_EQ(readBytes(report("<MailAddress></MailAddress><Subject>s</Subject>")), notValid);
    EXPECT_EQ(readBytes(report("<MailAddress>a</MailAddress><Subject/>")), notValid);
    EXPECT_EQ(readBytes(report("<MailAddress>a</MailAddress>")), notValid);
    // Blanks are a value.
    EXPECT_EQ(readBytes(report("<MailAddress>a</MailAddress><Subject> </Subject>")), "");
    EXPECT_EQ(request.subject, " ");
}

TEST_F(IssueDefinitionReaderTest, TakesOnlyTextThatComesFirst)
{
    EXPECT_EQ(readBytes(report("<MailAddress>a</MailAddress><Subject>s</Subject>"
                               "<Body><!-- note -->ignored</Body>")),
              "");
    EXPECT_EQ(request.body, "");

    EXPECT_EQ(readBytes(report("<MailAddress>a</MailAddress><Subject>s</Subject>"
                               "<Body>kept<!-- note -->dropped</Body>")),
              "");
    EXPECT_EQ(request.body, "kept");

    EXPECT_EQ(readBytes(report("<MailAddress>a</MailAddress><Subject>s</Subject>"
                               "<Body><![CDATA[in cdata]]></Body>")),
              "");
    EXPECT_EQ(request.body, "");
}

TEST_F(IssueDefinitionReaderTest, TheLastRepeatedValueWins)
{
    EXPECT_EQ(readBytes(report("<MailAddress>a</MailAddress><Subject>first</Subject>"
                               "<Subject>second</Subject><Subject></Subject>")),
              "");
    EXPECT_EQ(request.subject, "second");
}

TEST_F(IssueDefinitionReaderTest, LooksOnlyAtTheRootsOwnChildren)
{
    EXPECT_EQ(readBytes(report("<MailAddress>a</MailAddress><Wrapper><Subject>deep</Subject></Wrapper>")),
              notValid);
    // Names are matched exactly, whatever namespace they are in.
    EXPECT_EQ(readBytes("<IssueReport xmlns:x=\"urn:x\"><x:MailAddress>a</x:MailAddress>"
                        "<subject>lower</subject><Subject>s</Subject></IssueReport>"),
              "");
    EXPECT_EQ(request.mailAddress, "a");
    EXPECT_EQ(request.subject, "s");
}

TEST_F(IssueDefinitionReaderTest, RejectsAnyOtherRoot)
{
    for (const char* root : {"issuereport", "IssueReports", "Issue", "ISSUEREPORT"}) {
        EXPECT_EQ(readBytes(std::string("<") + root + "><MailAddress>a</MailAddress><Subject>s</Subject></" + root
                            + ">"),
                  badRoot)
            << root;
    }
}

TEST_F(IssueDefinitionReaderTest, NamesThePathWhenTheFileCannotBeParsed)
{
    const std::string missing = dir.file("no such file.xml");
    EXPECT_EQ(readPath(missing), "Failed to parse issue confix XML" + missing);
    EXPECT_EQ(readPath(""), "Failed to parse issue confix XML");
    EXPECT_EQ(readPath(dir.path()), "Failed to parse issue confix XML" + dir.path());

    const std::string parseError = "Failed to parse issue confix XML" + dir.file("issue.xml");
    EXPECT_EQ(readBytes(""), parseError);
    EXPECT_EQ(readBytes("<IssueReport><MailAddress>a</MailAddress>"), parseError);
    EXPECT_EQ(readBytes(report("<MailAddress>a\xff\xfe</MailAddress><Subject>s</Subject>")), parseError);
    EXPECT_EQ(readBytes(report("<MailAddress>a</MailAddress><Subject>s") + std::string(1, '\0') + "</Subject>"),
              parseError);
}

TEST_F(IssueDefinitionReaderTest, LogsEachErrorAsItIsRaised)
{
    readBytes(report("<MailAddress>a</MailAddress>"));
    EXPECT_EQ(LogCapture::instance().messages(), std::vector<std::string>{"Exception: Issue config XML is not valid.\n"});
}

TEST_F(IssueDefinitionReaderTest, ExpandsNoEntitiesOfItsOwn)
{
    // A billion laughs: refused or left unexpanded, never blown up.
    std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE IssueReport [\n<!ENTITY l0 \"ha\">\n";
    for (int i = 1; i <= 10; ++i) {
        doc += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j)
            doc += "&l" + std::to_string(i - 1) + ";";
        doc += "\">\n";
    }
    doc += "]>\n<IssueReport><MailAddress>a</MailAddress><Subject>&l10;</Subject></IssueReport>\n";
    const std::string error = readBytes(doc);
    if (error.empty())
        EXPECT_LT(request.subject.size(), 1000u);
    else
        EXPECT_EQ(error, "Failed to parse issue confix XML" + dir.file("issue.xml"));
}

TEST_F(IssueDefinitionReaderTest, NeverReadsExternalEntities)
{
    const std::string secret = dir.file("secret.txt");
    writeFile(secret, "TOP SECRET");
    const std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE IssueReport [\n<!ENTITY s SYSTEM \"file://" + secret
                            + "\">\n]>\n<IssueReport><MailAddress>a</MailAddress><Subject>x&s;</Subject>"
                              "<Body>&s;</Body></IssueReport>\n";
    readBytes(doc);
    EXPECT_EQ(request.subject.find("TOP SECRET"), std::string::npos);
    EXPECT_EQ(request.body.find("TOP SECRET"), std::string::npos);
}

TEST_F(IssueDefinitionReaderTest, LeavesTheFileAsItWas)
{
    const std::string bytes = report("<MailAddress>a</MailAddress>");
    readBytes(bytes);
    EXPECT_EQ(readFile(dir.file("issue.xml")), bytes);
}

TEST_F(IssueDefinitionReaderTest, RefusesAHundredMegabyteBody)
{
    std::string doc = report("<MailAddress>a</MailAddress><Subject>s</Subject><Body>");
    doc.append(100u << 20, 'x');
    doc += "</Body></IssueReport>";
    EXPECT_EQ(readBytes(doc), "Failed to parse issue confix XML" + dir.file("issue.xml"));
}
