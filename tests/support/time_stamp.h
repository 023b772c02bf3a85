#pragma once

#include <ctime>
#include <string>

#include "platform/files.h"

namespace testing_support {

// The clock cannot be set from a test, but it can be bracketed: stamp is
// returned unchanged when it is some second from `from` to now in format,
// else the stamp format gives for now, so that EXPECT_EQ shows both.
inline std::string localStampSince(const std::string& stamp, std::time_t from, const char* format)
{
    const std::time_t now = std::time(nullptr);
    std::string expected;
    for (std::time_t t = now; t >= from; --t) {
        std::tm local{};
        char text[64];
        if (!platform::localTime(t, local))
            return "(no local time)";
        const std::string formatted(text, std::strftime(text, sizeof text, format, &local));
        if (formatted == stamp)
            return stamp;
        if (t == now)
            expected = formatted;
    }
    return expected;
}

} // namespace testing_support
