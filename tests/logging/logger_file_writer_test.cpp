#include "pellicor/logging.h"

#include <algorithm>
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

using namespace testing_support;

namespace {

class LoggerFileWriterTest : public ::testing::Test {
protected:
    TempDir dir;
    Logger logger;
    std::string logPath = dir.file("test.log");
};

// The file's lines, each as "<prefix> <message>" with the date checked and
// cut off.
std::vector<std::string> linesWithoutDate(const std::string& path)
{
    static const std::regex dated(R"(^\d\d-\d\d-\d{4} \d\d:\d\d:\d\d (.*)$)");
    std::vector<std::string> result;
    for (const std::string& line : splitLines(readFile(path))) {
        std::smatch match;
        if (std::regex_match(line, match, dated))
            result.push_back(match[1]);
        else
            result.push_back("UNDATED: " + line);
    }
    return result;
}

} // namespace

TEST_F(LoggerFileWriterTest, EmptiesAnExistingFileBeforeTheFirstLine)
{
    writeFile(logPath, "yesterday's run\n");
    LoggerFileWriter writer(&logger, logPath);
    EXPECT_EQ(readFile(logPath), "");
}

TEST_F(LoggerFileWriterTest, WritesDateTagPrefixAndMessage)
{
    LoggerFileWriter writer(&logger, logPath);
    logger.addWriter(&writer);
    logger.log("Pellicor started.\n", 0, 6);
    logger.log("Exception: x\n", 0, 3);
    logger.log("no line end", loggerModule("CFG "), 7);
    logger.log(" runs on\n", 0, 6);
    // Text mode: Windows writes each line end as CR LF.
    std::string text = readFile(logPath);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(^\d\d-\d\d-\d{4} \d\d:\d\d:\d\d  \[MAIN:INFO\] Pellicor started\.\n)")));
    EXPECT_NE(text.find("  [MAIN:ERROR] Exception: x\n"), std::string::npos);
    // A message without a line end runs into the next line.
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(  \[CFG :DEBG\] no line end\d\d-\d\d-\d{4} \d\d:\d\d:\d\d  \[MAIN:INFO\]  runs on\n$)")));
}

TEST_F(LoggerFileWriterTest, EveryLineIsOnDiskAtOnce)
{
    LoggerFileWriter writer(&logger, logPath);
    logger.addWriter(&writer);
    logger.log("flushed\n", 0, 6);
    EXPECT_EQ(linesWithoutDate(logPath), std::vector<std::string>{" [MAIN:INFO] flushed"});
}

TEST_F(LoggerFileWriterTest, CarriesTheInstanceTag)
{
    logger.setInstanceName("Host");
    logger.setInstanceNumber(42);
    LoggerFileWriter writer(&logger, logPath);
    logger.addWriter(&writer);
    logger.log("tagged\n", 0, 4);
    EXPECT_EQ(linesWithoutDate(logPath), std::vector<std::string>{"Host [42] [MAIN:WARN] tagged"});
}

TEST_F(LoggerFileWriterTest, StartsAfreshOnlyOncePastTenMebibytes)
{
    LoggerFileWriter writer(&logger, logPath);
    logger.addWriter(&writer);
    // Fill to exactly the limit: 10485760 bytes is still appended to.
    const std::string sample = "x\n";
    logger.log(sample, 0, 6);
    const auto lineSize = static_cast<long long>(readFile(logPath).size());
    const long long overhead = lineSize - static_cast<long long>(sample.size());
    const std::string filler(static_cast<size_t>(LoggerFileWriter::maxFileSize - 2 * lineSize - overhead - 1), 'f');
    logger.log(filler + "\n", 0, 6);
    ASSERT_EQ(static_cast<long long>(readFile(logPath).size()), LoggerFileWriter::maxFileSize - lineSize);
    logger.log(sample, 0, 6);
    ASSERT_EQ(static_cast<long long>(readFile(logPath).size()), LoggerFileWriter::maxFileSize);

    logger.log("still appended\n", 0, 6);
    EXPECT_GT(static_cast<long long>(readFile(logPath).size()), LoggerFileWriter::maxFileSize);

    logger.log("first of the new file\n", 0, 6);
    EXPECT_EQ(linesWithoutDate(logPath), std::vector<std::string>{" [MAIN:INFO] first of the new file"});
}

TEST_F(LoggerFileWriterTest, GeneratesANameFromTheInstanceWhenGivenNone)
{
    ScopedCurrentDirectory cwd(dir.path());
    LoggerFileWriter unnamed(&logger, "");
    EXPECT_TRUE(fileExists(dir.file("-0.log")));

    logger.setInstanceName("Host");
    logger.setInstanceNumber(42);
    LoggerFileWriter inDirectory(&logger, "", dir.file("logs"));
    EXPECT_TRUE(fileExists(dir.file("logs/Host-42.log")));
}

TEST_F(LoggerFileWriterTest, LosesLinesQuietlyUntilTheFileCanBeOpened)
{
    const std::string blocked = dir.file("missing/test.log");
    LoggerFileWriter writer(&logger, blocked);
    EXPECT_FALSE(writer.isOpen());
    logger.addWriter(&writer);
    logger.log("lost\n", 0, 6);

    std::filesystem::create_directory(std::filesystem::u8path(dir.file("missing")));
    logger.log("kept\n", 0, 6);
    EXPECT_TRUE(writer.isOpen());
    EXPECT_EQ(linesWithoutDate(blocked), std::vector<std::string>{" [MAIN:INFO] kept"});
}
