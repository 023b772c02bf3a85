#pragma once

#include <cstddef>
#include <string>

namespace testing_support {

// A tmpfs of a few bytes mounted on an empty directory for the object's
// life: a disk that fills up, or a directory made read-only, on purpose.
// Mounting needs root outside a locked-down container; where it is refused,
// mounted() is false and reason() says why, for the test's skip message.
class ScratchMount {
public:
    ScratchMount(const std::string& directory, std::size_t bytes);
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& reason() const { return reason_; }
    // Makes the mount read-only; false, with reason(), when it cannot.
    bool makeReadOnly();

private:
    std::string directory_;
    std::string options_;
    std::string reason_;
    bool mounted_ = false;
};

} // namespace testing_support
