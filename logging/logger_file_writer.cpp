#include "pellicor/logging.h"

#include <ctime>

#include "platform/files.h"

LoggerFileWriter::LoggerFileWriter(Logger* logger, std::string fileName, std::string directory)
    : directory(std::move(directory)), fileName(std::move(fileName))
{
    ensureOpen(logger ? *logger : *Logger::getInstance());
}

LoggerFileWriter::~LoggerFileWriter()
{
    close();
}

void LoggerFileWriter::close()
{
    // fclose releases the stream even when it reports failure; the writer
    // then counts as failed and opens the file anew on the next line.
    if (file)
        std::fclose(file.release());
}

void LoggerFileWriter::ensureOpen(Logger& logger)
{
    if (file)
        return;
    file.reset(platform::openSharedForWriting(buildPath(logger)));
    position = 0;
}

std::string LoggerFileWriter::buildPath(Logger& logger) const
{
    if (!fileName.empty())
        return fileName;
    std::string path = directory;
    if (!path.empty() && path.back() != '/')
        path += '/';
    platform::makeDirectory(path);
    return path + logger.getInstanceName() + "-" + std::to_string(logger.getInstanceNumber()) + ".log";
}

void LoggerFileWriter::appendStamp()
{
    // Formatting the date is most of a line's cost; it changes once a second.
    const std::time_t now = std::time(nullptr);
    if (now != stampTime) {
        std::tm local{};
        stampLength =
            platform::localTime(now, local) ? std::strftime(stamp, sizeof stamp, "%d-%m-%Y %H:%M:%S", &local) : 0;
        stampTime = now;
    }
    line.append(stamp, stampLength);
}

void LoggerFileWriter::write(Logger& logger, const std::string& message, int module, int level)
{
    ensureOpen(logger);
    // The writer's own count of what it wrote, not the stream's position:
    // asking the stream costs a system call per line.
    if (position > maxFileSize) {
        close();
        ensureOpen(logger);
    }
    if (!file)
        return;

    line.clear();
    appendStamp();
    line += ' ';
    logger.appendTag(line);
    line += ' ';
    Logger::appendPrefix(line, module, level);
    line += ' ';
    line += message;

    if (platform::writeThrough(file.get(), line))
        position += platform::storedTextSize(line);
}
