#include "platform/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "platform/descriptor_posix.h"

namespace platform {

namespace {

std::string describeErrno(const std::string& what)
{
    return what + ": " + std::error_code(errno, std::generic_category()).message();
}

bool writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A link is replaced at its target, as writing through it would.
std::string resolvedTarget(const std::string& path)
{
    struct stat link;
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string directoryOf(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error)
{
    static std::atomic<unsigned> counter{0};
    const std::string target = resolvedTarget(path);

    std::string temporary;
    int created = -1;
    for (int attempt = 0; attempt < 100 && created < 0; ++attempt) {
        temporary = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        // 0666 lets the umask decide, as for any new file of the process.
        created = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (created < 0 && errno != EEXIST) {
            error = describeErrno("cannot create " + temporary);
            return false;
        }
    }
    if (created < 0) {
        error = "no free temporary name beside " + target;
        return false;
    }
    ScopedDescriptor file(created);

    struct stat old;
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(file.get(), old.st_mode & 07777);

    if (!writeAll(file.get(), bytes) || ::fsync(file.get()) != 0 || ::close(file.release()) != 0) {
        error = describeErrno("cannot write " + temporary);
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        error = describeErrno("cannot replace " + target);
        ::unlink(temporary.c_str());
        return false;
    }
    // The new name must reach the disk too; a failure here loses no data.
    const ScopedDescriptor directory(::open(directoryOf(target).c_str(), O_RDONLY | O_CLOEXEC));
    if (directory)
        ::fsync(directory.get());
    return true;
}

} // namespace platform
