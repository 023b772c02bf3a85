#include "platform/code_page.h"

namespace platform {

std::string toNarrowCodePage(const std::string& utf8)
{
    return utf8;
}

} // namespace platform
