#include "platform/files.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

const char pathSeparator = '/';

std::FILE* openSharedForWriting(const std::string& path)
{
    // POSIX has no share modes: any process may open the file meanwhile.
    return std::fopen(path.c_str(), "w");
}

std::FILE* openFile(const std::string& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}

bool removeFile(const std::string& path)
{
    return std::remove(path.c_str()) == 0;
}

long long writePosition(std::FILE* file)
{
    return file ? static_cast<long long>(ftello(file)) : -1;
}

bool writeThrough(std::FILE* file, const std::string& text)
{
    const int fd = ::fileno(file);
    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

long long storedTextSize(const std::string& text)
{
    return static_cast<long long>(text.size());
}

bool makeDirectory(const std::string& path)
{
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool localTime(std::time_t t, std::tm& out)
{
    return ::localtime_r(&t, &out) != nullptr;
}

bool currentDirectory(std::string& out)
{
    // No length limit here: grow the buffer until the whole path fits.
    std::vector<char> buffer(256);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            out.assign(buffer.data());
            return true;
        }
        if (errno != ERANGE)
            return false;
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace platform
