#include "pellicor/config.h"

#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "pellicor/logging.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;
using tvk::WxProductSettings;

namespace {

class ProductConfig : public ::testing::Test {
protected:
    std::unique_ptr<tvk::ORVAXMLConfigManager> open()
    {
        return std::make_unique<tvk::ORVAXMLConfigManager>(path, root);
    }

    std::vector<WxProductSettings> products(tvk::ORVAXMLConfigManager& config)
    {
        std::vector<WxProductSettings> list;
        config.getWxProducts(list);
        return list;
    }

    static std::vector<int> idsOf(const std::vector<WxProductSettings>& list)
    {
        std::vector<int> ids;
        for (const WxProductSettings& product : list)
            ids.push_back(product.id);
        return ids;
    }

    static std::size_t count(const std::string& text, const std::string& part)
    {
        std::size_t n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }

    static std::string product(const std::string& name, const std::string& active, const std::string& rest = "")
    {
        return "<WxProduct><WxName>" + name + "</WxName><IsActive>" + active
               + "</IsActive><MinToDownload>-7</MinToDownload><SampleDuration>3</SampleDuration>" + rest
               + "</WxProduct>";
    }

    const std::vector<int> defaultOrder{8, 0, 1, 3, 2, 10, 11, 5, 4, 6, 9, 7, 12, 13};
    // Every product default, in its order: name, MinToDownload, SampleDuration, SampleValidity.
    static constexpr std::tuple<const char*, int, int, int> wxDefaults[] = {
        {"CAT", 0, 180, 0},         {"CONV", 0, 180, 0},       {"DATIS", 0, 10, 0},     {"METARS", 0, 10, 0},
        {"NEXRAD", -180, 5, 15},    {"EUROPE", -180, 10, 15},  {"AUSTRALIA", -180, 10, 15},
        {"SAT", -180, 10, 30},      {"LIGHTNING", -180, 10, 30}, {"SIGMETS", 0, 5, 0}, {"WINDS", 0, 180, 0},
        {"TAFS", 0, 15, 0},         {"ICING", 0, 180, 0},      {"PIREPS", 0, 5, 0},
    };
    TempDir dir;
    std::string path = dir.file("ORVAPlus.xml");
    std::string root = "ORVAPlus";
};

} // namespace

TEST_F(ProductConfig, CompletesAMissingFileInMemoryOnly)
{
    auto config = open();
    EXPECT_FALSE(fileExists(path));
    std::string text;
    EXPECT_TRUE(config->getString("Internet", text, "Environment"));
    EXPECT_EQ(text, "Yes");

    const std::vector<WxProductSettings> list = products(*config);
    EXPECT_EQ(idsOf(list), defaultOrder);
    EXPECT_EQ(list[4].minToDownload, -180);
    EXPECT_EQ(list[4].sampleValidity, 0) << "only four children are written";

    EXPECT_FALSE(config->reload()) << "there was no file to read";
    EXPECT_EQ(idsOf(products(*config)), defaultOrder);
    config.reset();

    std::string golden = "<?xml version=\"1.0\"?>\n<ORVAPlus>\n"
                         "  <Environment>\n    <Internet>Yes</Internet>\n  </Environment>\n"
                         "  <Internet>\n    <UserCanSelect>Yes</UserCanSelect>\n    <AutoUpdate>No</AutoUpdate>\n"
                         "    <FetchIntervalSecs>600</FetchIntervalSecs>\n    <WxProducts>\n";
    for (const auto& [name, minToDownload, duration, validity] : wxDefaults)
        golden += std::string("<WxProduct>\n<WxName>") + name + "</WxName><IsActive>Yes</IsActive><MinToDownload>"
                  + std::to_string(minToDownload) + "</MinToDownload><SampleDuration>" + std::to_string(duration)
                  + "</SampleDuration></WxProduct>";
    golden += "</WxProducts>\n  </Internet>\n</ORVAPlus>\n";
    EXPECT_EQ(readFile(path), golden);

    // The saved file is complete: reading it adds nothing.
    auto again = open();
    EXPECT_TRUE(again->reload());
    again.reset();
    EXPECT_EQ(readFile(path), golden);
}

TEST_F(ProductConfig, WritesEveryDefaultIntoAProductItCannotRead)
{
    // Without SampleDuration a product is not read, so it counts as missing;
    // its default goes into the children it has, and no second one is added.
    const std::string head = "<?xml version=\"1.0\"?>\n<ORVAPlus>\n"
                             "  <Environment>\n    <Internet>Yes</Internet>\n  </Environment>\n"
                             "  <Internet>\n    <UserCanSelect>Yes</UserCanSelect>\n    <AutoUpdate>No</AutoUpdate>\n"
                             "    <FetchIntervalSecs>600</FetchIntervalSecs>\n    <WxProducts>\n";
    const auto product = [](const char* name, const std::string& minToDownload, const std::string& validity,
                            const char* active, const char* warning) {
        return std::string("<WxProduct>\n<WxName>") + name + "</WxName><IsActive>" + active + "</IsActive><MinToDownload>"
               + minToDownload + "</MinToDownload><SampleValidity>" + validity
               + "</SampleValidity><ExpirationWarningInterval>" + warning + "</ExpirationWarningInterval></WxProduct>";
    };
    std::string file = head, golden = head;
    for (const auto& [name, minToDownload, duration, validity] : wxDefaults) {
        file += product(name, "1", "2", "No", "3");
        golden += product(name, std::to_string(minToDownload), std::to_string(validity), "Yes", "0");
    }
    writeFile(path, file + "</WxProducts>\n  </Internet>\n</ORVAPlus>\n");
    EXPECT_TRUE(open()->save());
    EXPECT_EQ(readFile(path), golden + "</WxProducts>\n  </Internet>\n</ORVAPlus>\n");
}

TEST_F(ProductConfig, DefaultsNeverOverwriteAValue)
{
    // Every default key and product present, none with its default value;
    // AutoUpdate deeper in its section, UserCanSelect empty. Written as the
    // store writes a file, so that a save must give back the same bytes.
    std::string file = "<?xml version=\"1.0\"?>\n<ORVAPlus>\n"
                       "  <Environment>\n    <Internet>No</Internet>\n  </Environment>\n"
                       "  <Internet>\n    <Proxy>\n      <AutoUpdate>Yes</AutoUpdate>\n    </Proxy>\n"
                       "    <UserCanSelect/>\n    <FetchIntervalSecs>010</FetchIntervalSecs>\n    <WxProducts>\n";
    const char* const names[] = {"PIREPS", "ICING", "TAFS", "WINDS", "SIGMETS", "LIGHTNING", "SAT",
                                 "AUSTRALIA", "EUROPE", "NEXRAD", "METARS", "DATIS", "CONV", "CAT"};
    for (const char* name : names)
        file += std::string("<WxProduct>\n<WxName>") + name
                + "</WxName><IsActive>No</IsActive><MinToDownload>010</MinToDownload><SampleDuration>-1"
                  "</SampleDuration><SampleValidity>7</SampleValidity></WxProduct>";
    file += "</WxProducts>\n  </Internet>\n</ORVAPlus>\n";
    writeFile(path, file);

    auto config = open();
    int interval = 0;
    EXPECT_TRUE(config->getInt("FetchIntervalSecs", interval, "Internet"));
    EXPECT_EQ(interval, 10);
    const std::vector<WxProductSettings> list = products(*config);
    ASSERT_EQ(list.size(), 14u);
    EXPECT_EQ(list[0].id, 13);
    EXPECT_FALSE(list[0].isActive);
    EXPECT_EQ(list[0].minToDownload, 10);
    EXPECT_EQ(list[0].sampleDuration, -1);
    EXPECT_EQ(list[0].sampleValidity, 7);
    EXPECT_TRUE(config->reload());
    EXPECT_TRUE(config->save());
    EXPECT_EQ(readFile(path), file);
}

TEST_F(ProductConfig, LogsItsLifeInItsOwnWords)
{
    struct Verbose {
        Verbose() { Logger::getInstance()->setLevel(Logger::MODULE_MAIN, 7); }
        ~Verbose() { Logger::getInstance()->setLevel(Logger::MODULE_MAIN, -1); }
    } verbose;
    LogCapture::instance().clear();
    auto config = open();
    config->save();
    config->reload();
    config.reset();

    const int CFG = loggerModule("CFG "), OCFG = loggerModule("OCFG");
    const std::tuple<int, int, std::string> expected[] = {
        {CFG, 7, "XMLConfigManager: init config file: " + path + "\n"},
        {CFG, 3, "Failed to parse " + path + "\n"},
        {CFG, 4, "XMLConfigManager: " + path + ": no such file\n"},
        {CFG, 7, "XMLConfigManager: create new config (file: " + path + ")\n"},
        {CFG, 7, "Save config file: " + path + "\n"},
        {CFG, 7, "~XMLConfigManager: Destroy config manager (file: " + path + ")\n"},
        {CFG, 7, "Save config file: " + path + "\n"},
        {OCFG, 7, "~ORVAXMLConfigManager\n"},
    };
    const std::vector<LoggedLine> lines = LogCapture::instance().lines();
    ASSERT_EQ(lines.size(), std::size(expected)) << ::testing::PrintToString(LogCapture::instance().messages());
    for (std::size_t n = 0; n < lines.size(); ++n) {
        EXPECT_EQ(Logger::formatPrefix(lines[n].module, lines[n].level) + " " + lines[n].message,
                  Logger::formatPrefix(std::get<0>(expected[n]), std::get<1>(expected[n])) + " "
                      + std::get<2>(expected[n]));
    }
}

TEST_F(ProductConfig, AddsOnlyWhatIsMissing)
{
    writeFile(path, "<ORVAPlus><Internet><FetchIntervalSecs>900</FetchIntervalSecs><SupportEmail>s@x.org"
                    "</SupportEmail><WxProducts>"
                        + product("METARS", "yes") + product("TAFS", "Yes", "<SampleValidity>4</SampleValidity>")
                        + product("FOO", "Yes") + "<WxProduct><WxName>SAT</WxName></WxProduct>"
                        + "</WxProducts></Internet></ORVAPlus>");
    auto config = open();
    std::string text;
    EXPECT_TRUE(config->getString("SupportEmail", text, "Internet"));
    EXPECT_EQ(text, "s@x.org");
    config->save();
    const std::string saved = readFile(path);
    EXPECT_NE(saved.find("<FetchIntervalSecs>900</FetchIntervalSecs>"), std::string::npos);
    EXPECT_LT(saved.find("<SupportEmail>"), saved.find("<AutoUpdate>No</AutoUpdate>"));

    const std::vector<WxProductSettings> list = products(*config);
    ASSERT_EQ(list.size(), 14u);
    EXPECT_EQ(list[0].id, 3);
    EXPECT_FALSE(list[0].isActive);
    EXPECT_EQ(list[0].minToDownload, -7);
    EXPECT_EQ(list[1].id, 7);
    EXPECT_TRUE(list[1].isActive);
    EXPECT_EQ(list[1].sampleValidity, 4);
    EXPECT_EQ(list[2].id, 14);
    std::vector<int> appended;
    for (std::size_t i = 3; i < list.size(); ++i)
        appended.push_back(list[i].id);
    EXPECT_EQ(appended, (std::vector<int>{8, 0, 1, 2, 10, 11, 4, 6, 9, 12, 13}))
        << "an incomplete SAT gets no second element and stays unread";
    EXPECT_EQ(count(saved, "<WxName>SAT</WxName>"), 1u);
}

TEST_F(ProductConfig, GettersAppendProductsButReplaceModules)
{
    writeFile(path, "<ORVAPlus><Logger><Module><Id>CFG</Id><Level>7</Level></Module><Module><Id>X</Id></Module>"
                    "</Logger></ORVAPlus>");
    auto config = open();
    std::vector<tvk::LoggerModuleSetting> modules;
    EXPECT_TRUE(config->getLoggerModules(modules));
    EXPECT_TRUE(config->getLoggerModules(modules));
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(modules[0].id, "CFG");
    EXPECT_EQ(modules[0].level, "7");

    std::vector<WxProductSettings> list;
    EXPECT_TRUE(config->getWxProducts(list));
    EXPECT_TRUE(config->getWxProducts(list));
    EXPECT_EQ(list.size(), 28u);
}

TEST_F(ProductConfig, SetWxProductsUpdatesMatchingElementsAndAppendsTheRest)
{
    writeFile(path, "<ORVAPlus><Internet><WxProducts>" + product("METARS", "Yes") + product("", "Yes")
                        + "</WxProducts></Internet></ORVAPlus>");
    auto config = open();
    const std::vector<WxProductSettings> update{{3, false, 1, 2, 3, 4}, {14, false, 9, 9, 9, 9}};
    EXPECT_TRUE(config->setWxProducts(update));
    std::vector<WxProductSettings> list = products(*config);
    ASSERT_EQ(list.size(), 15u);
    EXPECT_EQ(list[0].id, 3);
    EXPECT_FALSE(list[0].isActive);
    EXPECT_EQ(list[0].minToDownload, 1);
    EXPECT_EQ(list[0].sampleValidity, 0) << "children the element lacks are not created";
    EXPECT_EQ(list[1].id, 14);
    EXPECT_EQ(list[1].minToDownload, 9);

    EXPECT_TRUE(config->setWxProducts({{3, true, 5, 5, 5, 5}, {3, true, 6, 6, 6, 6}}));
    list = products(*config);
    ASSERT_EQ(list.size(), 16u);
    EXPECT_EQ(list[0].minToDownload, 5);
    EXPECT_EQ(list[15].id, 3);
    EXPECT_EQ(list[15].minToDownload, 6);
}
