// What a host product does with the two libraries it shares with Pellicor.
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "pellicor/config.h"
#include "pellicor/logging.h"
#include "tests/host/static_init.h"
#include "tests/support/temp_dir.h"

using namespace testing_support;

TEST(HostStaticInit, FindsBothSingletonsReadyBeforeMain)
{
    EXPECT_TRUE(hostStaticInit.logged);
    std::vector<std::string> names;
    for (int id : {8, 0, 1, 3, 2, 10, 11, 5, 4, 6, 9, 7, 12, 13})
        names.push_back(std::string(tvk::wxProductTable[id].name));
    EXPECT_EQ(hostStaticInit.products, names);
}

TEST(HostConstants, NameTheLevelsAndTheLibrariesModules)
{
    const int levels[] = {Logger::levelEmergency, Logger::levelAlert, Logger::levelCritical, Logger::levelError,
                          Logger::levelWarn,      Logger::levelNotice, Logger::levelInfo,    Logger::levelDebug,
                          Logger::levelVerbose1,  Logger::levelVerbose2, Logger::levelVerbose3};
    const std::string names[] = {"EMERGENCY", "ALERERT", "CRITICAL", "ERROR", "WARN", "NOTI",
                                 "INFO",      "DEBG",    "VER1",     "VER2",  "VER3"};
    for (int i = 0; i < Logger::LEVEL_COUNT; ++i)
        EXPECT_EQ(Logger::levelNames[levels[i]], names[i]);
    EXPECT_EQ(Logger::formatPrefix(tvk::moduleCFG, Logger::levelDebug), "[CFG :DEBG]");
    EXPECT_EQ(Logger::formatPrefix(tvk::moduleOCFG, Logger::levelError), "[OCFG:ERROR]");
}

// Keys and sections with a prefix, declared in the file or not, are written
// and read back under the name the host gave; what would read back as
// another name is refused.
TEST(HostSettings, TakeNamesWithAPrefix)
{
    TempDir dir;
    const std::string path = dir.file("host.xml");
    const std::string root = "Host";
    writeFile(path, "<Host xmlns:h=\"urn:host\"><S><h:k>1</h:k></S><h:W/></Host>");
    std::string text;
    {
        tvk::XMLConfigManager store(path, root);
        EXPECT_TRUE(store.getString("h:k", text, "S"));
        EXPECT_EQ(text, "1");
        EXPECT_TRUE(store.setString("h:k", "2", "S"));
        EXPECT_FALSE(store.setString("h:new", "3", "S"));
        EXPECT_FALSE(store.setString("a:b", "4", "S"));
        EXPECT_TRUE(store.setDefaultString("a:b", "ignored", "S"));
        EXPECT_FALSE(store.setInt("a:b", 5, "p:T/h:U"));
        EXPECT_FALSE(store.setInt("K", 6, "p:T/h:U"));
        EXPECT_FALSE(store.setInt("K", 7, "h:W"));
        for (const std::string key : {"a:b:c", ":a", "a:", "xmlns:x", "a b"})
            EXPECT_FALSE(store.setString(key, "refused", "S")) << key;
        EXPECT_FALSE(store.setString("k", "refused", "a:b:c"));
    }
    EXPECT_EQ(readFile(path), "<?xml version=\"1.0\"?>\n<Host xmlns:h=\"urn:host\">\n  <S>\n    <h:k>2</h:k>\n"
                              "    <h:new>3</h:new>\n    <a:b>4</a:b>\n  </S>\n  <h:W>\n    <K>7</K>\n  </h:W>\n"
                              "  <p:T>\n    <h:U>\n      <a:b>5</a:b>\n      <K>6</K>\n    </h:U>\n  </p:T>\n</Host>\n");

    tvk::XMLConfigManager reread(path, root);
    using Setting = std::tuple<const char*, const char*, const char*>;
    for (const auto& [key, section, value] : {Setting{"h:k", "S", "2"}, Setting{"h:new", "S", "3"}, Setting{"a:b", "S", "4"},
                                              Setting{"a:b", "p:T/h:U", "5"}, Setting{"K", "p:T/h:U", "6"},
                                              Setting{"K", "h:W", "7"}}) {
        EXPECT_TRUE(reread.getString(key, text, section)) << key;
        EXPECT_EQ(text, value) << key;
    }
    for (const char* other : {"k", "hXk", "h:new:"})
        EXPECT_FALSE(reread.getString(other, text, "S")) << other;
}
