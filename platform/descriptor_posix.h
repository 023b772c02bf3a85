#pragma once

#include <unistd.h>

#include "platform/scoped_handle.h"

namespace platform {

struct DescriptorTraits {
    using Handle = int;
    static constexpr Handle invalid() noexcept { return -1; }
    static void free(Handle fd) noexcept { ::close(fd); }
};

// An open file descriptor; -1, what a failed open gives, owns nothing.
using ScopedDescriptor = ScopedHandle<DescriptorTraits>;

} // namespace platform
