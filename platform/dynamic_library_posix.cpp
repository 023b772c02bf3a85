#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>
#include <vector>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

namespace platform {
namespace {

#if defined(__APPLE__)
const char* const sharedSuffix = ".dylib";
#else
const char* const sharedSuffix = ".so";
#endif

// "mapi32.dll" -> "libmapi32.so": the same library under this system's naming.
std::string nativeName(const std::string& name)
{
    const std::string dll = ".dll";
    if (name.size() > dll.size() && name.compare(name.size() - dll.size(), dll.size(), dll) == 0)
        return "lib" + name.substr(0, name.size() - dll.size()) + sharedSuffix;
    return name;
}

void* tryOpen(const std::string& path)
{
    return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

} // namespace

std::string executableDirectory()
{
    std::string path;
#if defined(__APPLE__)
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1, '\0');
    if (_NSGetExecutablePath(buffer.data(), &size) != 0)
        return {};
    path = buffer.data();
#else
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buffer.size()) {
            path.assign(buffer.data(), static_cast<size_t>(n));
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
#endif
    std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void* openLibraryHandle(const std::string& name)
{
    const std::string file = nativeName(name);
    if (file.find('/') != std::string::npos)
        return tryOpen(file);

    // Beside the executable first, then the install layout, then the
    // system's own search: a provider shipped with us wins.
    const std::string dir = executableDirectory();
    if (!dir.empty()) {
        for (const std::string& candidate : {dir + "/" + file, dir + "/../lib/pellicor/" + file}) {
            if (::access(candidate.c_str(), F_OK) == 0) {
                if (void* handle = tryOpen(candidate))
                    return handle;
            }
        }
    }
    return tryOpen(file);
}

void* findLibrarySymbol(void* handle, const char* name)
{
    return ::dlsym(handle, name);
}

void LoadedLibraryTraits::free(void* handle) noexcept
{
    ::dlclose(handle);
}

} // namespace platform
