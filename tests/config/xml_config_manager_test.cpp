#include "pellicor/config.h"

#include <clocale>
#include <filesystem>
#include <locale>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

class ConfigStore : public ::testing::Test {
protected:
    void SetUp() override { LogCapture::instance().clear(); }

    std::unique_ptr<tvk::XMLConfigManager> open() { return std::make_unique<tvk::XMLConfigManager>(path, root); }

    bool logged(const std::string& part) const
    {
        for (const std::string& message : LogCapture::instance().messages()) {
            if (message.find(part) != std::string::npos)
                return true;
        }
        return false;
    }

    TempDir dir;
    // Named outside ASCII and code page 1252, as a user's folder may be: every
    // read, save, temporary and kept copy crosses the name.
    std::string path = dir.file("Einstellungen M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC.xml");
    std::string root = "ORVAPlus";
};

} // namespace

TEST_F(ConfigStore, StartsEmptyOverAMissingFileAndWritesItWhenDestroyed)
{
    auto store = open();
    std::string mail = "unchanged";
    EXPECT_FALSE(store->getString("SupportEmail", mail, "Internet"));
    EXPECT_EQ(mail, "unchanged");

    EXPECT_FALSE(store->setString("SupportEmail", "help@example.org", "Internet"));
    EXPECT_TRUE(store->getString("SupportEmail", mail, "Internet"));
    EXPECT_EQ(mail, "help@example.org");
    EXPECT_FALSE(fileExists(path));

    store.reset();
    EXPECT_EQ(readFile(path), "<?xml version=\"1.0\"?>\n<ORVAPlus>\n  <Internet>\n"
                              "    <SupportEmail>help@example.org</SupportEmail>\n  </Internet>\n</ORVAPlus>\n");
}

TEST_F(ConfigStore, SettersTellWhetherTheKeyExisted)
{
    auto store = open();
    int value = 0;
    EXPECT_FALSE(store->setInt("Count", 1, "S"));
    EXPECT_TRUE(store->setInt("Count", 2, "S"));
    EXPECT_TRUE(store->getInt("Count", value, "S"));
    EXPECT_EQ(value, 2);

    std::string text;
    EXPECT_TRUE(store->setDefaultString("Count", "9", "S"));
    EXPECT_FALSE(store->setDefaultString("Name", "first", "S"));
    EXPECT_TRUE(store->getString("Count", text, "S"));
    EXPECT_EQ(text, "2");
    EXPECT_TRUE(store->getString("Name", text, "S"));
    EXPECT_EQ(text, "first");

    EXPECT_FALSE(store->setString("Key", "v", ""));
    EXPECT_FALSE(store->getString("Key", text, ""));

    store->setString("K", "v", "A/B");
    EXPECT_TRUE(store->getString("K", text, "A/B"));
    EXPECT_FALSE(store->getString("K", text, "B")) << "sections are found from the root";
}

TEST_F(ConfigStore, FindsKeysNestedDeeperButCreatesThemUnderTheSection)
{
    writeFile(path, "<ORVAPlus><S><Group><K>1</K></Group><K>2</K></S></ORVAPlus>");
    auto store = open();
    int value = 0;
    EXPECT_TRUE(store->getInt("K", value, "S"));
    EXPECT_EQ(value, 1);
    EXPECT_TRUE(store->setInt("K", 5, "S"));
    EXPECT_FALSE(store->setInt("New", 6, "S"));
    EXPECT_TRUE(store->save());
    EXPECT_NE(readFile(path).find("<Group>\n      <K>5</K>\n    </Group>\n    <K>2</K>\n    <New>6</New>"),
              std::string::npos)
        << readFile(path);
}

TEST_F(ConfigStore, ConvertsTextsAsTheCRuntimeDoes)
{
    writeFile(path, "<ORVAPlus><S><Yes>Yes</Yes><No>No</No><Caps>YES</Caps><Num>12abc</Num>"
                    "<Huge>99999999999</Huge><D>2.5e1x</D></S></ORVAPlus>");
    auto store = open();
    bool flag = true;
    EXPECT_TRUE(store->getBool("No", flag, "S"));
    EXPECT_FALSE(flag);
    EXPECT_TRUE(store->getBool("Yes", flag, "S"));
    EXPECT_FALSE(store->getBool("Caps", flag, "S"));
    EXPECT_TRUE(flag);

    int number = 0;
    EXPECT_TRUE(store->getInt("Num", number, "S"));
    EXPECT_EQ(number, 12);
    EXPECT_TRUE(store->getInt("Huge", number, "S"));
    EXPECT_EQ(number, 2147483647);
    double decimal = 0;
    EXPECT_TRUE(store->getDouble("D", decimal, "S"));
    EXPECT_EQ(decimal, 25.0);
}

TEST_F(ConfigStore, KeepsLiteralAmpersandsAndResolvesValidReferences)
{
    const std::pair<std::string, std::string> cases[] = {
        {"Tom & Jerry", "Tom & Jerry"}, {"a&b", "a&b"}, {"<b> & </b>", "<b> & </b>"}, {"&amp;", "&"},
        {"&#38;&#x26;", "&&"},          {"&lt;&gt;", "<>"}, {"&undefined;", "&undefined;"}, {"&#0;", "&#0;"},
    };
    {
        auto store = open();
        int n = 0;
        for (const auto& c : cases) {
            const std::string key = "K" + std::to_string(n++);
            store->setString(key, "first", "S");
            store->setString(key, c.first, "S");
            store->setString("New" + key, c.first, "S");
        }
    }
    auto reread = open();
    int n = 0;
    for (const auto& c : cases) {
        const std::string key = "K" + std::to_string(n++);
        std::string existing, created;
        EXPECT_TRUE(reread->getString(key, existing, "S")) << c.first;
        EXPECT_TRUE(reread->getString("New" + key, created, "S")) << c.first;
        EXPECT_EQ(existing, c.second);
        EXPECT_EQ(created, c.second);
    }
}

TEST_F(ConfigStore, RefusesKeysAndValuesThatWouldBreakTheFile)
{
    auto store = open();
    store->setString("Good", "kept", "S");
    EXPECT_FALSE(store->setString("two words", "v", "S"));
    EXPECT_FALSE(store->setString("K", std::string("bell\x07"), "S"));
    EXPECT_FALSE(store->setString("K", "\xff\xfe", "S"));
    EXPECT_FALSE(store->setString("K", "v", "bad name/S"));
    EXPECT_TRUE(logged("no XML name"));
    store.reset();

    std::string text;
    auto reread = open();
    EXPECT_TRUE(reread->getString("Good", text, "S"));
    EXPECT_FALSE(reread->getString("K", text, "S"));
}

TEST_F(ConfigStore, WritesDecimalsTheSameWhateverTheHostsLocale)
{
    struct Comma : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
        char do_thousands_sep() const override { return '.'; }
        std::string do_grouping() const override { return "\3"; }
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new Comma));
    auto store = open();
    store->setDouble("D", 3.5, "S");
    store->setInt("I", 1234567, "S");
    std::locale::global(previous);

    std::string text;
    EXPECT_TRUE(store->getString("D", text, "S"));
    EXPECT_EQ(text, "3.5");
    EXPECT_TRUE(store->getString("I", text, "S"));
    EXPECT_EQ(text, "1234567");
}

TEST_F(ConfigStore, ReadsDecimalsTheSameWhateverTheHostsLocale)
{
    bool comma = false;
    for (const char* name : {"de_DE.UTF-8", "German_Germany.1252"})
        comma = comma || std::setlocale(LC_ALL, name) != nullptr;
    if (!comma)
        GTEST_SKIP() << "no German locale, with its decimal comma, here";

    writeFile(path, "<ORVAPlus><S><D>3.5</D><C>3,5</C></S></ORVAPlus>");
    auto store = open();
    double value = 0;
    EXPECT_TRUE(store->getDouble("D", value, "S"));
    const double point = value;
    EXPECT_TRUE(store->getDouble("C", value, "S"));
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(point, 3.5);
    EXPECT_EQ(value, 3.0);
}

TEST_F(ConfigStore, AFailedSaveLeavesTheOldFileAsItWas)
{
    // A name the file system just takes leaves no room for a temporary name beside it.
    path = dir.file(std::string(246, 'c') + ".xml");
    try {
        writeFile(path, "<ORVAPlus><S><K>old</K></S></ORVAPlus>");
    } catch (const std::exception&) {
    }
    if (!fileExists(path))
        GTEST_SKIP() << "this file system does not take names of 250 characters";
    auto store = open();
    store->setString("K", "new", "S");
    EXPECT_FALSE(store->save());
    EXPECT_EQ(readFile(path), "<ORVAPlus><S><K>old</K></S></ORVAPlus>");
    EXPECT_TRUE(logged("Failed to save"));

    path = dir.file("missing/settings.xml");
    EXPECT_FALSE(open()->save());
    EXPECT_FALSE(fileExists(dir.file("missing")));
}

TEST_F(ConfigStore, KeepsAnUnusableFileBesideTheOneItWrites)
{
    std::string laughs = "<!DOCTYPE ORVAPlus [<!ENTITY l0 \"lol\">";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += "]><ORVAPlus><S><K>&l9;</K></S></ORVAPlus>";
    const std::string inputs[] = {
        "",
        "<?xml version=\"1.0\"?>\n<ORVAPlus><S><K>v</K></S></ORVA",
        "<ORVAPlus><S><K>\xff\xfe</K></S></ORVAPlus>",
        laughs,
        "<!DOCTYPE ORVAPlus [<!ENTITY x SYSTEM \"" + dir.file("secret") + "\">]><ORVAPlus><S><K>&x;</K></S></ORVAPlus>",
        "<!-- edited by hand --><ORVAPlus><S><K>v</K></S></ORVAPlus>",
        "<ORVAPlus><S><K>" + std::string(11 * 1024 * 1024, 'v') + "</K></S></ORVAPlus>",
    };
    writeFile(dir.file("secret"), "secret");
    int round = 0;
    for (const std::string& input : inputs) {
        SCOPED_TRACE("input " + std::to_string(round));
        LogCapture::instance().clear();
        writeFile(path, input);
        auto store = open();
        std::string text;
        EXPECT_FALSE(store->getString("K", text, "S"));
        EXPECT_TRUE(logged("Failed to parse " + path + "\n"));
        EXPECT_FALSE(store->reload());
        store->setString("K", "fresh", "S");
        EXPECT_TRUE(store->save());

        const std::string copy = path + ".unreadable" + (round == 0 ? "" : "." + std::to_string(round));
        EXPECT_EQ(readFile(copy), input);
        EXPECT_TRUE(logged(copy));
        EXPECT_TRUE(open()->getString("K", text, "S"));
        EXPECT_EQ(text, "fresh");
        ++round;
    }
}

TEST_F(ConfigStore, LeavesADirectoryInItsPlace)
{
    path = dir.file("settings.d");
    fs::create_directory(fs::u8path(path));
    writeFile(path + "/inside", "kept");
    auto store = open();
    EXPECT_TRUE(logged("is a directory"));
    EXPECT_FALSE(store->save());
    EXPECT_EQ(readFile(path + "/inside"), "kept");
}
