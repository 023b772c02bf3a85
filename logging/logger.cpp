#include "pellicor/logging.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <iostream>

#include "platform/files.h"

const char* const Logger::levelNames[Logger::LEVEL_COUNT] = {
    "EMERGENCY", "ALERERT", "CRITICAL", "ERROR", "WARN", "NOTI",
    "INFO",      "DEBG",    "VER1",     "VER2",  "VER3",
};

namespace {

void appendNumber(std::string& out, long long number)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    out.append(digits, result.ptr);
}

std::string formatNow(const char* format)
{
    std::tm local{};
    if (!platform::localTime(std::time(nullptr), local))
        return {};
    char buffer[32];
    std::size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, n);
}

} // namespace

Logger::IWriter::~IWriter() = default;

Logger::Logger() : defaultWriter(new LoggerCoutWriter) {}

Logger::~Logger() = default;

namespace {

// Constant-initialised (std::mutex has a constexpr constructor), so a host
// may call getInstance() from its own static initialisers.
std::mutex instanceMutex;
Logger* instance = nullptr;

} // namespace

Logger* Logger::getInstance()
{
    std::lock_guard<std::mutex> lock(instanceMutex);
    if (!instance)
        instance = new Logger;
    return instance;
}

int Logger::levelOf(int module)
{
    if (module == loggerModule("MAIN"))
        module = MODULE_MAIN;
    std::lock_guard<std::mutex> lock(mutex);
    auto own = levels.find(module);
    if (own != levels.end() && own->second != -1)
        return own->second;
    if (module != MODULE_MAIN) {
        auto main = levels.find(MODULE_MAIN);
        if (main != levels.end() && main->second != -1)
            return main->second;
    }
    return DEFAULT_LEVEL;
}

bool Logger::isEnabled(int module, int level)
{
    if (level > highestLevel.load(std::memory_order_relaxed))
        return false;
    if (!moduleLevels.load(std::memory_order_relaxed))
        return level <= mainLevel.load(std::memory_order_relaxed);
    return level <= levelOf(module);
}

void Logger::log(const std::string& message, int module, int level)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (writers.empty()) {
        defaultWriter->write(*this, message, module, level);
        return;
    }
    for (IWriter* writer : writers)
        writer->write(*this, message, module, level);
}

void Logger::addWriter(IWriter* writer)
{
    std::lock_guard<std::mutex> lock(mutex);
    writers.insert(writer);
}

void Logger::setLevel(int module, int level)
{
    if (module == loggerModule("MAIN"))
        module = MODULE_MAIN;
    std::lock_guard<std::mutex> lock(mutex);
    levels[module] = level;
    publishLevels();
}

void Logger::publishLevels()
{
    auto main = levels.find(MODULE_MAIN);
    const int mainInForce = main != levels.end() && main->second != -1 ? main->second : DEFAULT_LEVEL;
    int highest = mainInForce;
    bool own = false;
    for (const auto& entry : levels) {
        if (entry.first == MODULE_MAIN || entry.second == -1)
            continue;
        own = true;
        highest = std::max(highest, entry.second);
    }
    mainLevel.store(mainInForce, std::memory_order_relaxed);
    highestLevel.store(highest, std::memory_order_relaxed);
    moduleLevels.store(own, std::memory_order_relaxed);
}

void Logger::setInstanceName(const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex);
    instanceName = name;
}

void Logger::setInstanceNumber(std::int64_t number)
{
    std::lock_guard<std::mutex> lock(mutex);
    instanceNumber = number;
}

std::string Logger::moduleName(int module)
{
    if (module == MODULE_MAIN)
        return "MAIN";
    std::string name(4, '\0');
    auto code = static_cast<std::uint32_t>(module);
    for (int i = 0; i < 4; ++i)
        name[i] = static_cast<char>((code >> (8 * i)) & 0xFF);
    return name;
}

std::string Logger::formatPrefix(int module, int level)
{
    std::string prefix;
    appendPrefix(prefix, module, level);
    return prefix;
}

void Logger::appendPrefix(std::string& out, int module, int level)
{
    out += '[';
    if (module == MODULE_MAIN) {
        out += "MAIN";
    } else {
        auto code = static_cast<std::uint32_t>(module);
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>((code >> (8 * i)) & 0xFF);
    }
    out += ':';
    // Out-of-range levels never reach a writer by contract; print them
    // rather than read past the table.
    if (level >= 0 && level < LEVEL_COUNT)
        out += levelNames[level];
    else
        appendNumber(out, level);
    out += ']';
}

std::string Logger::formatTag() const
{
    std::string tag;
    appendTag(tag);
    return tag;
}

void Logger::appendTag(std::string& out) const
{
    out += instanceName;
    if (instanceNumber != 0) {
        if (!instanceName.empty())
            out += ' ';
        out += '[';
        appendNumber(out, instanceNumber);
        out += ']';
    }
}

std::string Logger::timeStamp()
{
    return formatNow("%H:%M:%S");
}

std::string Logger::dateTimeStamp()
{
    return formatNow("%d-%m-%Y %H:%M:%S");
}

LoggerCoutWriter::~LoggerCoutWriter() = default;

void LoggerCoutWriter::write(Logger& logger, const std::string& message, int module, int level)
{
    // A host may log from its own static initialisers, before the <iostream>
    // of this file has made std::cout.
    static const std::ios_base::Init streams;
    std::ostream& out = std::cout;
    if (out.bad())
        out.clear();
    out << Logger::timeStamp() << ' ' << logger.formatTag() << ' ' << Logger::formatPrefix(module, level) << ' '
        << message;
    out.flush();
}

LoggedException::LoggedException(const std::string& message) : std::runtime_error(message)
{
    Logger* logger = Logger::getInstance();
    if (logger->isEnabled(Logger::MODULE_MAIN, Logger::levelError))
        logger->log("Exception: " + message + "\n", Logger::MODULE_MAIN, Logger::levelError);
}

LoggedException::LoggedException(const char* message) : LoggedException(std::string(message)) {}
