#include "pellicor/config.h"

#include <climits>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
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

TEST_F(ConfigStore, ConvertsEveryTypeBothWaysByteForByte)
{
    // Written: booleans as "Yes"/"No", numbers as a default stream writes
    // them (decimals with six significant digits), and read back alike.
    struct Written {
        std::string text;
        std::function<bool(tvk::XMLConfigManager&, const std::string&)> set;
        std::function<bool(tvk::XMLConfigManager&, const std::string&)> readsBack;
    };
    const auto asBool = [](bool v) {
        return Written{v ? "Yes" : "No", [v](auto& s, auto& k) { return s.setBool(k, v, "W"); },
                       [v](auto& s, auto& k) { bool r = !v; return s.getBool(k, r, "W") && r == v; }};
    };
    const auto asInt = [](int v, const char* text) {
        return Written{text, [v](auto& s, auto& k) { return s.setInt(k, v, "W"); },
                       [v](auto& s, auto& k) { int r = v ^ 1; return s.getInt(k, r, "W") && r == v; }};
    };
    const auto asDouble = [](double v, const char* text) {
        return Written{text, [v](auto& s, auto& k) { return s.setDouble(k, v, "W"); },
                       [text](auto& s, auto& k) {
                           double r = -1;
                           return s.getDouble(k, r, "W") && r == std::strtod(text, nullptr);
                       }};
    };
    const Written written[] = {
        asBool(true), asBool(false),
        asInt(0, "0"), asInt(-180, "-180"), asInt(600, "600"), asInt(INT_MAX, "2147483647"),
        asInt(INT_MIN, "-2147483648"),
        asDouble(3.5, "3.5"), asDouble(-2.5, "-2.5"), asDouble(10, "10"), asDouble(1.0 / 3, "0.333333"),
        asDouble(2.0 / 3, "0.666667"), asDouble(1234.5678, "1234.57"), asDouble(123456.7, "123457"),
        asDouble(0.0001, "0.0001"),
    };
    std::string golden = "<?xml version=\"1.0\"?>\n<ORVAPlus>\n  <W>\n";
    {
        auto store = open();
        for (std::size_t n = 0; n < std::size(written); ++n) {
            const std::string key = "K" + std::to_string(n);
            SCOPED_TRACE(key + " " + written[n].text);
            EXPECT_FALSE(written[n].set(*store, key));
            std::string text;
            EXPECT_TRUE(store->getString(key, text, "W"));
            EXPECT_EQ(text, written[n].text);
            EXPECT_TRUE(written[n].readsBack(*store, key));
            golden += "    <" + key + ">" + written[n].text + "</" + key + ">\n";
        }
    }
    EXPECT_EQ(readFile(path), golden + "  </W>\n</ORVAPlus>\n");

    // Read: numbers as the C runtime's atoi and atof read them, booleans
    // only when exactly "Yes" or "No"; anything else leaves the output alone.
    const std::pair<std::string, int> ints[] = {
        {"010", 10}, {"-7", -7}, {"+5", 5}, {" 42", 42}, {"12abc", 12}, {"abc", 0}, {"0x1A", 0}, {"", 0},
        {"99999999999", INT_MAX}, {"-99999999999", INT_MIN},
    };
    const std::pair<std::string, double> decimals[] = {
        {"010", 10}, {"2.5e1x", 25}, {"1.5", 1.5}, {"-0.25", -0.25}, {".5", 0.5}, {"abc", 0}, {"0.333333", 0.333333},
    };
    const std::pair<std::string, int> booleans[] = {
        {"Yes", 1}, {"No", 0}, {"yes", -1}, {"YES", -1}, {"no", -1}, {"true", -1}, {"1", -1}, {" Yes", -1}, {"", -1},
    };
    // Each text in a file of its own, as the one value of key K.
    const auto holding = [this](const std::string& text) {
        writeFile(path, "<ORVAPlus><R><K>" + text + "</K></R></ORVAPlus>");
        return open();
    };
    for (const auto& [text, expected] : ints) {
        int value = -1;
        EXPECT_TRUE(holding(text)->getInt("K", value, "R")) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const auto& [text, expected] : decimals) {
        double value = -1;
        EXPECT_TRUE(holding(text)->getDouble("K", value, "R")) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const auto& [text, expected] : booleans) {
        // Read from both outputs, so that an unread text shows as -1.
        bool fromTrue = true, fromFalse = false;
        const auto store = holding(text);
        const bool read = store->getBool("K", fromTrue, "R");
        EXPECT_EQ(store->getBool("K", fromFalse, "R"), read);
        EXPECT_EQ(read ? int(fromTrue) : -1, expected) << text;
        EXPECT_EQ(fromTrue, fromFalse || !read) << text;
    }
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
