#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>

// Packs a four-character module name into its code, first character in the
// lowest byte: loggerModule("CFG ") == 0x20474643.
constexpr int loggerModule(const char (&name)[5])
{
    return static_cast<int>(static_cast<std::uint32_t>(static_cast<unsigned char>(name[0]))
                            | static_cast<std::uint32_t>(static_cast<unsigned char>(name[1])) << 8
                            | static_cast<std::uint32_t>(static_cast<unsigned char>(name[2])) << 16
                            | static_cast<std::uint32_t>(static_cast<unsigned char>(name[3])) << 24);
}

// The process-wide logger. A message carries a module code and a level
// (0 is the most severe, 10 the least); it passes when its level is at most
// the level in force for its module. Callers ask isEnabled() first and only
// then compose the message, which ends with "\n" by convention.
class Logger {
public:
    static constexpr int MODULE_MAIN = 0;
    static constexpr int LEVEL_COUNT = 11;
    static constexpr int DEFAULT_LEVEL = 6;
    static const char* const levelNames[LEVEL_COUNT];

    // A destination for log lines. write() runs under the logger's lock, so a
    // writer must not call back into anything of the logger that locks.
    class IWriter {
    public:
        virtual ~IWriter();
        virtual void write(Logger& logger, const std::string& message, int module, int level) = 0;
    };

    // Created on first use and never destroyed.
    static Logger* getInstance();

    int levelOf(int module);
    bool isEnabled(int module, int level);
    void log(const std::string& message, int module, int level);
    // The logger keeps the writer for the rest of the process.
    void addWriter(IWriter* writer);

    // Sets the level of one module; -1 removes its own level so that it
    // follows the main module again.
    void setLevel(int module, int level);

    void setInstanceName(const std::string& name);
    void setInstanceNumber(std::int64_t number);
    const std::string& getInstanceName() const { return instanceName; }
    std::int64_t getInstanceNumber() const { return instanceNumber; }

    // Formatting takes no lock: writers call these from inside write().
    static std::string moduleName(int module);
    static std::string formatPrefix(int module, int level);
    std::string formatTag() const;
    // The same, appended to out: no allocation once out has room.
    static void appendPrefix(std::string& out, int module, int level);
    void appendTag(std::string& out) const;
    static std::string timeStamp();
    static std::string dateTimeStamp();

    // Hosts use getInstance(); separate instances serve tests and tools.
    Logger();
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

private:
    void publishLevels();

    std::string instanceName;
    std::map<int, int> levels;
    // Copies of what levels says, read without the lock: a line below every
    // level in force costs isEnabled() one load, and while no module has a
    // level of its own the main module's level answers for all.
    std::atomic<int> highestLevel{DEFAULT_LEVEL};
    std::atomic<int> mainLevel{DEFAULT_LEVEL};
    std::atomic<bool> moduleLevels{false};
    std::set<IWriter*> writers;
    std::unique_ptr<IWriter> defaultWriter;
    std::mutex mutex;
    std::int64_t instanceNumber = 0;
};

// Writes each line, with the time of day, to standard output.
class LoggerCoutWriter : public Logger::IWriter {
public:
    LoggerCoutWriter() = default;
    ~LoggerCoutWriter() override;
    void write(Logger& logger, const std::string& message, int module, int level) override;
};

// Writes each line, with date and time, to a file that is emptied when the
// writer opens it and again whenever it has grown past maxFileSize bytes.
class LoggerFileWriter : public Logger::IWriter {
public:
    static constexpr long long maxFileSize = 10485760;

    // An empty fileName makes the writer generate "<instanceName>-<instanceNumber>.log"
    // inside directory (created if missing).
    LoggerFileWriter(Logger* logger, std::string fileName, std::string directory = {});
    ~LoggerFileWriter() override;
    void write(Logger& logger, const std::string& message, int module, int level) override;

    void ensureOpen(Logger& logger);
    std::string buildPath(Logger& logger) const;

    // True while the log file is open; false after a failed open.
    bool isOpen() const { return file != nullptr; }

private:
    void close();
    void appendStamp();

    struct FileClose {
        void operator()(std::FILE* f) const noexcept { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileClose> file;
    std::string directory;
    std::string fileName;
    // Kept between lines so that a line allocates nothing once the buffer
    // has grown to the longest message; written under the logger's lock.
    std::string line;
    long long position = 0;
    std::time_t stampTime = -1;
    char stamp[32] = {};
    std::size_t stampLength = 0;
};

// The program's own exception: making one logs "Exception: <message>" at
// MAIN/ERROR, so every error raised on purpose is in the log even if the
// catcher never logs it. Copies log nothing.
class LoggedException : public std::runtime_error {
public:
    explicit LoggedException(const std::string& message);
    explicit LoggedException(const char* message);
};
