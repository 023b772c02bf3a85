#pragma once

#include <string>
#include <utility>
#include <vector>

#include <zip.h>

#include "platform/scoped_handle.h"

namespace testing_support {

using ZipArchive = platform::ScopedPointer<zip_t, zip_discard>;

// The archive at path opened with libzip's flags; empty, and a test failure,
// when it cannot be.
ZipArchive openZip(const std::string& path, int flags = ZIP_RDONLY);

using ZipEntries = std::vector<std::pair<std::string, std::string>>;

// A zip file's entries in their order, each with its bytes, read after a
// consistency check of the whole archive; a failed read, or a CRC that does
// not match the bytes, is a test failure.
ZipEntries zipEntries(const std::string& path);

} // namespace testing_support
