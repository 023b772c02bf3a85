#include "pellicor/config.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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
    EXPECT_TRUE(config->getString("FetchIntervalSecs", text, "Internet"));
    EXPECT_EQ(text, "600");

    const std::vector<WxProductSettings> list = products(*config);
    EXPECT_EQ(idsOf(list), defaultOrder);
    EXPECT_EQ(list[4].minToDownload, -180);
    EXPECT_EQ(list[4].sampleValidity, 0) << "only four children are written";

    EXPECT_FALSE(config->reload());
    EXPECT_EQ(idsOf(products(*config)), defaultOrder);
    config.reset();
    const std::string saved = readFile(path);
    EXPECT_EQ(count(saved, "<WxProduct>"), 14u);
    EXPECT_EQ(count(saved, "<SampleDuration>"), 14u);
    EXPECT_EQ(count(saved, "SampleValidity"), 0u);
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
