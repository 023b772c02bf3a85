#pragma once

#include <cstdint>

#include <zip.h>

// A libzip source that deflates the bytes of fileSource at level, on
// archiveThreads() threads, while zip_close reads it, and hands them to the
// archive as data already compressed: its stat names deflate as the method
// and, once read to the end, the CRC and length of the bytes deflated, so
// libzip copies the data rather than compressing it again. The entry keeps
// fileSource's time and file attributes, and the compression flags libzip
// itself would write for that level.
//
// Once more than stopAbove deflated bytes have come out (0: never), the
// source fails with ZIP_ER_CANCELLED: an entry that cannot fit is not
// deflated to its end.
//
// Takes fileSource over, also when it returns null (with error set).
zip_source_t* deflatingSource(zip_source_t* fileSource, int level, zip_error_t* error, std::uint64_t stopAbove = 0);
