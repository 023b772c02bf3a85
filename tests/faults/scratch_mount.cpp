#include "tests/faults/scratch_mount.h"

#include <cerrno>
#include <system_error>

#include <sys/mount.h>

namespace testing_support {

namespace {

std::string describe(const std::string& what)
{
    return what + ": " + std::generic_category().message(errno);
}

} // namespace

ScratchMount::ScratchMount(const std::string& directory, std::size_t bytes)
    : directory_(directory), options_("size=" + std::to_string(bytes) + ",mode=0755")
{
    mounted_ = ::mount("tmpfs", directory_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options_.c_str()) == 0;
    if (!mounted_)
        reason_ = describe("cannot mount a tmpfs on " + directory_);
}

ScratchMount::~ScratchMount()
{
    // Detached, so a file a test left open cannot keep the mount busy.
    if (mounted_)
        ::umount2(directory_.c_str(), MNT_DETACH);
}

bool ScratchMount::makeReadOnly()
{
    if (::mount(nullptr, directory_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV,
                options_.c_str())
        == 0)
        return true;
    reason_ = describe("cannot make " + directory_ + " read-only");
    return false;
}

} // namespace testing_support
