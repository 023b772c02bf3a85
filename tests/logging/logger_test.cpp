#include "pellicor/logging.h"

#include <ctime>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/log_capture.h"
#include "tests/support/time_stamp.h"

using testing_support::LogCapture;
using testing_support::localStampSince;

namespace {

const int CFG = loggerModule("CFG ");

// Keeps what it is handed, as text, the way a writer sees it.
class RecordingWriter : public Logger::IWriter {
public:
    void write(Logger&, const std::string& message, int module, int level) override
    {
        lines.push_back(Logger::formatPrefix(module, level) + " " + message);
    }
    std::vector<std::string> lines;
};

} // namespace

TEST(LoggerLevels, DefaultLetsInfoThroughAndStopsDebug)
{
    Logger logger;
    EXPECT_TRUE(logger.isEnabled(Logger::MODULE_MAIN, 6));
    EXPECT_FALSE(logger.isEnabled(Logger::MODULE_MAIN, 7));
    EXPECT_FALSE(logger.isEnabled(CFG, 7));
    EXPECT_TRUE(logger.isEnabled(CFG, 0));
}

TEST(LoggerLevels, PackedMainIsTheMainModule)
{
    Logger logger;
    logger.setLevel(loggerModule("MAIN"), 9);
    EXPECT_EQ(logger.levelOf(0), 9);
    EXPECT_EQ(logger.levelOf(loggerModule("MAIN")), 9);
}

TEST(LoggerLevels, ModulesWithoutOwnLevelFollowTheMainModule)
{
    Logger logger;
    logger.setLevel(Logger::MODULE_MAIN, 8);
    EXPECT_EQ(logger.levelOf(CFG), 8);

    logger.setLevel(CFG, 2);
    EXPECT_EQ(logger.levelOf(CFG), 2);
    EXPECT_EQ(logger.levelOf(loggerModule("OCFG")), 8);
}

TEST(LoggerLevels, MinusOneCountsAsNoLevel)
{
    Logger logger;
    logger.setLevel(Logger::MODULE_MAIN, -1);
    EXPECT_EQ(logger.levelOf(Logger::MODULE_MAIN), 6);
    EXPECT_EQ(logger.levelOf(CFG), 6);

    logger.setLevel(Logger::MODULE_MAIN, 3);
    logger.setLevel(CFG, -1);
    EXPECT_EQ(logger.levelOf(CFG), 3);
}

// isEnabled() answers from copies of the levels kept apart from levelOf();
// every change of a level must reach them.
TEST(LoggerLevels, IsEnabledFollowsEveryChangeOfALevel)
{
    Logger logger;
    const int OCFG = loggerModule("OCFG");
    logger.setLevel(CFG, 9);
    EXPECT_TRUE(logger.isEnabled(CFG, 9));
    EXPECT_FALSE(logger.isEnabled(OCFG, 7));
    EXPECT_FALSE(logger.isEnabled(loggerModule("MAIN"), 7));

    logger.setLevel(Logger::MODULE_MAIN, 2);
    EXPECT_TRUE(logger.isEnabled(CFG, 9));
    EXPECT_FALSE(logger.isEnabled(OCFG, 3));

    logger.setLevel(CFG, -1);
    EXPECT_FALSE(logger.isEnabled(CFG, 3));
    EXPECT_TRUE(logger.isEnabled(CFG, 2));

    logger.setLevel(loggerModule("MAIN"), -1);
    EXPECT_TRUE(logger.isEnabled(OCFG, 6));
    EXPECT_FALSE(logger.isEnabled(CFG, 7));
}

TEST(LoggerFormat, ModuleNamesKeepAllFourBytes)
{
    EXPECT_EQ(Logger::moduleName(0), "MAIN");
    EXPECT_EQ(Logger::moduleName(loggerModule("MAIN")), "MAIN");
    EXPECT_EQ(Logger::moduleName(CFG), "CFG ");
    EXPECT_EQ(CFG, 0x20474643);
    // A zero byte stays in the name rather than ending it.
    EXPECT_EQ(Logger::moduleName(0x41), std::string("A\0\0\0", 4));
}

TEST(LoggerFormat, PrefixCarriesModuleAndLevelName)
{
    // Every level by its name, spelt as hosts and log readers expect them.
    const char* const names[] = {"EMERGENCY", "ALERERT", "CRITICAL", "ERROR", "WARN", "NOTI",
                                 "INFO",      "DEBG",    "VER1",     "VER2",  "VER3"};
    for (int level = 0; level < 11; ++level) {
        EXPECT_EQ(Logger::formatPrefix(0, level), std::string("[MAIN:") + names[level] + "]");
        EXPECT_EQ(Logger::formatPrefix(CFG, level), std::string("[CFG :") + names[level] + "]");
    }
    EXPECT_EQ(Logger::formatPrefix(loggerModule("MAIN"), 6), "[MAIN:INFO]");
    EXPECT_EQ(Logger::formatPrefix(loggerModule("OCFG"), 7), "[OCFG:DEBG]");
}

TEST(LoggerFormat, TagJoinsNameAndNumber)
{
    Logger logger;
    EXPECT_EQ(logger.formatTag(), "");
    logger.setInstanceName("Host");
    EXPECT_EQ(logger.formatTag(), "Host");
    logger.setInstanceNumber(42);
    EXPECT_EQ(logger.formatTag(), "Host [42]");
    logger.setInstanceName("");
    EXPECT_EQ(logger.formatTag(), "[42]");
    logger.setInstanceNumber(-7);
    EXPECT_EQ(logger.formatTag(), "[-7]");
}

TEST(LoggerFormat, TimeStampsHaveTheirFixedShapes)
{
    const std::time_t from = std::time(nullptr);
    const std::string time = Logger::timeStamp();
    EXPECT_EQ(time, localStampSince(time, from, "%H:%M:%S"));
    const std::string dateTime = Logger::dateTimeStamp();
    EXPECT_EQ(dateTime, localStampSince(dateTime, from, "%d-%m-%Y %H:%M:%S"));
}

TEST(LoggerWriters, ConsoleServesOnlyUntilTheFirstWriter)
{
    Logger logger;
    std::ostringstream captured;
    const std::time_t from = std::time(nullptr);
    std::streambuf* old = std::cout.rdbuf(captured.rdbuf());
    logger.log("to the console\n", 0, 6);
    RecordingWriter writer;
    logger.addWriter(&writer);
    logger.log("to the writer\n", 0, 6);
    std::cout.rdbuf(old);

    const std::string console = captured.str();
    // Time, an empty tag between two blanks, prefix, message.
    EXPECT_EQ(console.substr(0, 8), localStampSince(console.substr(0, 8), from, "%H:%M:%S"));
    EXPECT_EQ(console.substr(8), "  [MAIN:INFO] to the console\n");
    EXPECT_EQ(writer.lines, std::vector<std::string>{"[MAIN:INFO] to the writer\n"});
}

TEST(LoggerWriters, ConsoleWriterRecoversABadStream)
{
    Logger logger;
    std::ostringstream captured;
    std::streambuf* old = std::cout.rdbuf(captured.rdbuf());
    std::cout.setstate(std::ios::badbit);
    logger.log("after a bad state\n", 0, 3);
    std::cout.rdbuf(old);
    EXPECT_NE(captured.str().find("[MAIN:ERROR] after a bad state\n"), std::string::npos);
}

TEST(LoggerWriters, AWriterAddedTwiceGetsEachMessageOnce)
{
    Logger logger;
    RecordingWriter writer;
    logger.addWriter(&writer);
    logger.addWriter(&writer);
    logger.log("once\n", 0, 6);
    EXPECT_EQ(writer.lines.size(), 1u);
}

TEST(LoggerWriters, EveryWriterGetsEveryMessage)
{
    Logger logger;
    RecordingWriter first, second;
    logger.addWriter(&first);
    logger.addWriter(&second);
    logger.log("both\n", CFG, 4);
    EXPECT_EQ(first.lines, std::vector<std::string>{"[CFG :WARN] both\n"});
    EXPECT_EQ(second.lines, first.lines);
}

TEST(LoggerWriters, AThrowingWriterLeavesTheLoggerUsable)
{
    struct Throwing : Logger::IWriter {
        void write(Logger&, const std::string&, int, int) override { throw std::runtime_error("disk gone"); }
    };
    Logger logger;
    Throwing writer;
    logger.addWriter(&writer);
    EXPECT_THROW(logger.log("x\n", 0, 6), std::runtime_error);
    // The lock was released on the way out.
    EXPECT_TRUE(logger.isEnabled(0, 6));
}

TEST(LoggerThreads, LinesFromManyThreadsNeverInterleave)
{
    Logger logger;
    RecordingWriter writer;
    logger.addWriter(&writer);
    const int threads = 8, perThread = 2000;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&logger, t] {
            const std::string message = "thread " + std::to_string(t) + " says hello\n";
            for (int i = 0; i < perThread; ++i) {
                if (logger.isEnabled(0, 6))
                    logger.log(message, 0, 6);
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();

    ASSERT_EQ(writer.lines.size(), static_cast<size_t>(threads * perThread));
    std::vector<int> counts(threads);
    for (const std::string& line : writer.lines) {
        int t = -1;
        ASSERT_EQ(std::sscanf(line.c_str(), "[MAIN:INFO] thread %d says hello\n", &t), 1) << line;
        ++counts.at(t);
    }
    for (int count : counts)
        EXPECT_EQ(count, perThread);
}

TEST(LoggerInstance, IsOneForTheWholeProcess)
{
    Logger* first = nullptr;
    std::vector<Logger*> seen(8);
    std::vector<std::thread> workers;
    for (int i = 0; i < 8; ++i)
        workers.emplace_back([&seen, i] { seen[i] = Logger::getInstance(); });
    for (std::thread& worker : workers)
        worker.join();
    first = Logger::getInstance();
    for (Logger* logger : seen)
        EXPECT_EQ(logger, first);
}

class LoggedExceptionTest : public ::testing::Test {
protected:
    void SetUp() override { LogCapture::instance().clear(); }
    void TearDown() override { Logger::getInstance()->setLevel(Logger::MODULE_MAIN, -1); }
};

TEST_F(LoggedExceptionTest, LogsItsMessageOnceWhenMade)
{
    try {
        throw LoggedException("Expecting one argument containing report xml file name.");
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Expecting one argument containing report xml file name.");
    }
    const auto lines = LogCapture::instance().lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].module, 0);
    EXPECT_EQ(lines[0].level, 3);
    EXPECT_EQ(lines[0].message, "Exception: Expecting one argument containing report xml file name.\n");
}

TEST_F(LoggedExceptionTest, CopiesAndRethrowsLogNothing)
{
    LoggedException original(std::string("with a line end\n"));
    LoggedException copy = original;
    try {
        try {
            throw copy;
        } catch (const LoggedException&) {
            throw;
        }
    } catch (const LoggedException& error) {
        EXPECT_STREQ(error.what(), "with a line end\n");
    }
    EXPECT_EQ(LogCapture::instance().messages(), std::vector<std::string>{"Exception: with a line end\n\n"});
}

TEST_F(LoggedExceptionTest, LogsNothingWhenErrorsAreDisabled)
{
    Logger::getInstance()->setLevel(Logger::MODULE_MAIN, 2);
    LoggedException error("quiet");
    EXPECT_TRUE(LogCapture::instance().lines().empty());
}
