#include "tests/support/zip_reader.h"

#include <gtest/gtest.h>

namespace testing_support {

ZipArchive openZip(const std::string& path, int flags)
{
    int error = 0;
    ZipArchive archive(zip_open(path.c_str(), flags, &error));
    EXPECT_TRUE(archive) << path << ": libzip error " << error;
    return archive;
}

ZipEntries zipEntries(const std::string& path)
{
    const ZipArchive archive = openZip(path, ZIP_RDONLY | ZIP_CHECKCONS);
    ZipEntries entries;
    if (!archive)
        return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive.get(), 0); ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t stat;
        zip_stat_index(archive.get(), index, 0, &stat);
        std::string bytes(static_cast<size_t>(stat.size), '\0');
        zip_file_t* file = zip_fopen_index(archive.get(), index, 0);
        EXPECT_NE(file, nullptr) << stat.name;
        if (file != nullptr) {
            EXPECT_EQ(zip_fread(file, &bytes[0], stat.size), static_cast<zip_int64_t>(stat.size)) << stat.name;
            // libzip checks the entry's CRC only once a read finds the end.
            char more;
            EXPECT_EQ(zip_fread(file, &more, 1), 0) << stat.name << ": " << zip_file_strerror(file);
            zip_fclose(file);
        }
        entries.emplace_back(stat.name, bytes);
    }
    return entries;
}

} // namespace testing_support
