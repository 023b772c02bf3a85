#include "platform/private_directory.h"

#include <stdlib.h>
#include <vector>

namespace platform {

std::string makePrivateDirectory(const std::string& parent)
{
    const std::string pattern = parent + "/XXXXXX";
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    // mkdtemp makes it mode 0700: what goes in stays this user's.
    if (::mkdtemp(path.data()) == nullptr)
        return {};
    return path.data();
}

} // namespace platform
