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

/// \file
/// The logging library a host product shares with Pellicor (`Pellicor::logging`):
/// one process-wide Logger with per-module levels, pluggable writers, and the
/// exception type that logs itself.

/// Packs a four-character module name into its code, the first character in
/// the lowest byte: `loggerModule("CFG ") == 0x20474643`. Usable in constant
/// expressions, so a host may name its own modules at namespace scope.
constexpr int loggerModule(const char (&name)[5])
{
    return static_cast<int>(static_cast<std::uint32_t>(static_cast<unsigned char>(name[0]))
                            | static_cast<std::uint32_t>(static_cast<unsigned char>(name[1])) << 8
                            | static_cast<std::uint32_t>(static_cast<unsigned char>(name[2])) << 16
                            | static_cast<std::uint32_t>(static_cast<unsigned char>(name[3])) << 24);
}

/// The process-wide logger. A message carries a module code and a level
/// (0 is the most severe, 10 the least); it passes when its level is at most
/// the level in force for its module. Callers ask isEnabled() first and only
/// then compose the message, which ends with "\n" by convention:
/// \code
/// Logger* logger = Logger::getInstance();
/// if (logger->isEnabled(Logger::MODULE_MAIN, Logger::levelWarn))
///     logger->log("disk almost full\n", Logger::MODULE_MAIN, Logger::levelWarn);
/// \endcode
/// Every operation may be called from any thread, and before `main` from a
/// static initialiser: nothing the logger needs is built by dynamic
/// initialisation.
class Logger {
public:
    /// The main module; prints as "MAIN", as does `loggerModule("MAIN")`.
    static constexpr int MODULE_MAIN = 0;
    /// Number of levels, 0 to 10.
    static constexpr int LEVEL_COUNT = 11;
    /// The level of every module while nothing else is set ("INFO").
    static constexpr int DEFAULT_LEVEL = 6;

    /// \name Levels
    /// The eleven levels, most severe first; the names are what writers print.
    /// @{
    static constexpr int levelEmergency = 0;  ///< "EMERGENCY"
    static constexpr int levelAlert = 1;      ///< "ALERERT" (spelt so in every log line)
    static constexpr int levelCritical = 2;   ///< "CRITICAL"
    static constexpr int levelError = 3;      ///< "ERROR"; LoggedException logs at this level
    static constexpr int levelWarn = 4;       ///< "WARN"
    static constexpr int levelNotice = 5;     ///< "NOTI"
    static constexpr int levelInfo = 6;       ///< "INFO", the default threshold
    static constexpr int levelDebug = 7;      ///< "DEBG"
    static constexpr int levelVerbose1 = 8;   ///< "VER1"
    static constexpr int levelVerbose2 = 9;   ///< "VER2"
    static constexpr int levelVerbose3 = 10;  ///< "VER3"
    /// @}

    /// The printed name of each level, indexed by level.
    static const char* const levelNames[LEVEL_COUNT];

    /// A destination for log lines. Make one on the heap and hand it to
    /// addWriter(); from then on the Logger uses it for the rest of the
    /// process and never deletes it.
    class IWriter {
    public:
        virtual ~IWriter();
        /// Writes one message as a line. Called by Logger::log() with the
        /// logger's lock held, so calls never overlap and a writer must not
        /// call log(), isEnabled(), levelOf() or addWriter() of any Logger;
        /// the formatting operations take no lock and may be used. An
        /// exception thrown here reaches the caller of log().
        virtual void write(Logger& logger, const std::string& message, int module, int level) = 0;
    };

    /// The process's Logger, made on the first call and never destroyed.
    /// Never null; safe from any thread and from static initialisers.
    static Logger* getInstance();

    /// The level in force for module: its own, else the main module's, else
    /// DEFAULT_LEVEL. A level of -1 counts as none. Thread-safe.
    int levelOf(int module);
    /// Whether a message of level from module passes (level <= levelOf(module)).
    /// Cheap while no module has a level of its own. Thread-safe.
    bool isEnabled(int module, int level);
    /// Hands message unchanged to every registered writer, or to the console
    /// writer while none is registered. Does not consult the levels: ask
    /// isEnabled() first. Lines of different threads never interleave.
    /// \p level must be 0 to 10.
    void log(const std::string& message, int module, int level);
    /// Registers writer; every later message reaches it, and the console gets
    /// nothing more. The Logger keeps the pointer for the rest of the process
    /// and never deletes it: the writer must outlive every later log call, and
    /// belongs to this Logger alone. Registering it twice changes nothing.
    /// Thread-safe.
    void addWriter(IWriter* writer);

    /// Sets the level of one module (`MODULE_MAIN` for every module without
    /// one of its own); -1 removes its own level so that it follows the main
    /// module again. Thread-safe.
    void setLevel(int module, int level);

    /// Sets the name that writers print in each line and that a
    /// LoggerFileWriter without a file name uses for its file. Set it before
    /// logging starts: writers read it without the lock.
    void setInstanceName(const std::string& name);
    /// Sets the number printed as "[number]" after the name; 0 prints nothing.
    /// Same rules as setInstanceName().
    void setInstanceNumber(std::int64_t number);
    /// The name set by setInstanceName(), empty at first.
    const std::string& getInstanceName() const { return instanceName; }
    /// The number set by setInstanceNumber(), 0 at first.
    std::int64_t getInstanceNumber() const { return instanceNumber; }

    /// \name Formatting
    /// The pieces of a line. They take no lock: writers call them from inside
    /// IWriter::write().
    /// @{

    /// The four characters of module, lowest byte first; "MAIN" for 0.
    static std::string moduleName(int module);
    /// "[" + moduleName() + ":" + level name + "]", e.g. "[CFG :DEBG]".
    static std::string formatPrefix(int module, int level);
    /// The instance name, then "[number]" when the number is not 0,
    /// separated by a blank when both are there; empty by default.
    std::string formatTag() const;
    /// formatPrefix() appended to out: no allocation once out has room.
    static void appendPrefix(std::string& out, int module, int level);
    /// formatTag() appended to out.
    void appendTag(std::string& out) const;
    /// The local time as "%H:%M:%S"; empty when the clock cannot be read.
    static std::string timeStamp();
    /// The local date and time as "%d-%m-%Y %H:%M:%S".
    static std::string dateTimeStamp();
    /// @}

    /// A separate logger, for tests and tools; hosts use getInstance().
    Logger();
    /// Leaves the registered writers alone: they are not the logger's to delete.
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

/// Writes each line, with the time of day, to standard output and flushes
/// it; a stream in a bad state is cleared first. The Logger uses one while no
/// other writer is registered. Works before `main`: it makes sure the
/// standard streams exist before its first line.
class LoggerCoutWriter : public Logger::IWriter {
public:
    LoggerCoutWriter() = default;
    ~LoggerCoutWriter() override;
    /// Writes "time tag prefix message" to std::cout; see Logger::IWriter::write().
    void write(Logger& logger, const std::string& message, int module, int level) override;
};

/// Writes each line, with date and time, to a file that is emptied when the
/// writer opens it and again whenever it has grown past maxFileSize bytes;
/// every line is flushed at once. Other processes may read the file meanwhile.
/// A file that cannot be opened costs nothing but its lines: each later line
/// tries again, and nothing is reported or thrown.
/// \code
/// Logger* logger = Logger::getInstance();
/// logger->addWriter(new LoggerFileWriter(logger, "host.log"));   // kept for ever
/// \endcode
/// Not thread-safe on its own: it relies on Logger::log() holding the lock, so
/// register it with one Logger only.
class LoggerFileWriter : public Logger::IWriter {
public:
    /// Past this many bytes the next line empties the file first (10 MiB).
    static constexpr long long maxFileSize = 10485760;

    /// Opens, and so empties or creates, the file at once. An empty fileName
    /// makes the writer generate "<instanceName>-<instanceNumber>.log" inside
    /// directory (one level created if missing). logger (null: the process's)
    /// is only asked for that name; it is not kept.
    LoggerFileWriter(Logger* logger, std::string fileName, std::string directory = {});
    /// Closes the file. Never destroy a writer that a Logger still holds.
    ~LoggerFileWriter() override;
    /// Writes "date time tag prefix message" and flushes; see Logger::IWriter::write().
    void write(Logger& logger, const std::string& message, int module, int level) override;

    /// Opens the file, emptied, unless it is open already.
    void ensureOpen(Logger& logger);
    /// The path the writer opens: fileName, else the generated name.
    std::string buildPath(Logger& logger) const;

    /// True while the log file is open; false after a failed open.
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

/// An exception that logs itself: making one logs "Exception: <message>\n"
/// at MAIN/ERROR of the process's Logger (when that level passes), so every
/// error raised on purpose is in the log even if the catcher never logs it.
/// what() returns the message alone. Copies and rethrows log nothing.
class LoggedException : public std::runtime_error {
public:
    /// Logs the message and keeps it for what().
    explicit LoggedException(const std::string& message);
    /// The same for a C string.
    explicit LoggedException(const char* message);
};
