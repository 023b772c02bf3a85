#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "text/utf16.h"
#include "pellicor/logging.h"

namespace fs = std::filesystem;

namespace fuzz_support {

namespace {

class DroppingWriter : public Logger::IWriter {
public:
    void write(Logger&, const std::string& message, int, int) override { dropped += message.size(); }
    std::size_t dropped = 0;
};

} // namespace

void silenceLogging()
{
    Logger* logger = Logger::getInstance();
    logger->addWriter(new DroppingWriter);
    for (int module : {Logger::MODULE_MAIN, loggerModule("CFG "), loggerModule("OCFG")})
        logger->setLevel(module, Logger::LEVEL_COUNT - 1);
}

const testing_support::TempDir& scratch()
{
    // Never destroyed before exit handlers run: libFuzzer ends with exit().
    static testing_support::TempDir* dir = new testing_support::TempDir;
    static const bool registered = [] {
        std::atexit([] { delete dir; });
        return true;
    }();
    (void)registered;
    return *dir;
}

void clearScratch()
{
    std::error_code ec;
    for (fs::directory_iterator it(scratch().path(), ec), end; !ec && it != end; it.increment(ec))
        fs::remove_all(it->path(), ec);
}

void fail(const std::string& what)
{
    std::fprintf(stderr, "\nbroken promise: %s\n", what.c_str());
    std::abort();
}

bool isValidUtf8(const std::string& text)
{
    return utf16ToUtf8(utf8ToUtf16(text)) == text;
}

} // namespace fuzz_support
