#include "pellicor/logging.h"

#include <cstdint>
#include <ctime>

#include "platform/files.h"

namespace {

void put(std::FILE* file, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), file);
}

// The line prefix written straight into the stream's buffer: a flushed line
// per message is the hot path of every host that logs to a file.
void putPrefix(std::FILE* file, int module, int level)
{
    std::fputc('[', file);
    if (module == Logger::MODULE_MAIN) {
        std::fputs("MAIN", file);
    } else {
        auto code = static_cast<std::uint32_t>(module);
        for (int i = 0; i < 4; ++i)
            std::fputc(static_cast<int>((code >> (8 * i)) & 0xFF), file);
    }
    std::fputc(':', file);
    if (level >= 0 && level < Logger::LEVEL_COUNT)
        std::fputs(Logger::levelNames[level], file);
    else
        std::fprintf(file, "%d", level);
    std::fputc(']', file);
}

} // namespace

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

void LoggerFileWriter::write(Logger& logger, const std::string& message, int module, int level)
{
    ensureOpen(logger);
    if (platform::writePosition(file.get()) > maxFileSize) {
        close();
        ensureOpen(logger);
    }
    if (!file)
        return;

    char stamp[32];
    std::tm local{};
    std::size_t stampLength = 0;
    if (platform::localTime(std::time(nullptr), local))
        stampLength = std::strftime(stamp, sizeof stamp, "%d-%m-%Y %H:%M:%S", &local);

    std::FILE* out = file.get();
    std::fwrite(stamp, 1, stampLength, out);
    std::fputc(' ', out);
    if (!logger.getInstanceName().empty() || logger.getInstanceNumber() != 0)
        put(out, logger.formatTag());
    std::fputc(' ', out);
    putPrefix(out, module, level);
    std::fputc(' ', out);
    put(out, message);
    std::fflush(out);
}
