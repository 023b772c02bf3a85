#include "pellicor/logging.h"

#include <algorithm>
#include <ctime>
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tests/support/time_stamp.h"

using namespace testing_support;

namespace {

const char* const fileStamp = "%d-%m-%Y %H:%M:%S";
const std::size_t fileStampSize = 19;

class LoggerFileWriterTest : public ::testing::Test {
protected:
    // The file's lines, each as "<tag> <prefix> <message>": the date and
    // time in front, and the blank after them, are checked and cut off. A
    // line without them is marked UNDATED; a long line is cut short, so
    // that a failure stays readable.
    std::vector<std::string> linesWithoutDate(const std::string& path) const
    {
        std::vector<std::string> result;
        for (const std::string& line : splitLines(readFile(path))) {
            const std::string stamp = line.substr(0, fileStampSize);
            const bool dated = line.size() > fileStampSize && line[fileStampSize] == ' '
                               && stamp == localStampSince(stamp, started, fileStamp);
            std::string rest = dated ? line.substr(fileStampSize + 1) : "UNDATED: " + line;
            if (rest.size() > 200)
                rest = rest.substr(0, 60) + "... (" + std::to_string(line.size()) + " bytes)";
            result.push_back(rest);
        }
        return result;
    }

    std::time_t started = std::time(nullptr);
    TempDir dir;
    Logger logger;
    std::string logPath = dir.file("test.log");
};

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
    const std::vector<std::string> lines = linesWithoutDate(logPath);
    ASSERT_EQ(lines.size(), 3u) << readFile(logPath);
    // The date, an empty tag between two blanks, the prefix, the message.
    EXPECT_EQ(lines[0], " [MAIN:INFO] Pellicor started.");
    EXPECT_EQ(lines[1], " [MAIN:ERROR] Exception: x");
    // A message without a line end runs into the next line.
    const std::string runOn = " [CFG :DEBG] no line end";
    ASSERT_EQ(lines[2].substr(0, runOn.size()), runOn);
    const std::string stamp = lines[2].substr(runOn.size(), fileStampSize);
    EXPECT_EQ(stamp, localStampSince(stamp, started, fileStamp));
    EXPECT_EQ(lines[2].substr(runOn.size() + fileStampSize), "  [MAIN:INFO]  runs on");
    // Three line ends and no more (CR LF on Windows, in text mode).
    const std::string text = readFile(logPath);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
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
