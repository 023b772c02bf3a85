#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

using ZipEntries = std::vector<std::pair<std::string, std::string>>;

// A zip file's entries in their order, each with its bytes, read after a
// consistency check of the whole archive; a failed read, or a CRC that does
// not match the bytes, is a test failure.
ZipEntries zipEntries(const std::string& path);

} // namespace testing_support
