#include "archive/deflating_source.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <new>

#include "archive/parallel_deflate.h"

namespace {

struct DeflatingSource {
    zip_source_t* file;
    int level;
    std::uint64_t stopAbove;
    std::uint64_t handed = 0;
    zip_error_t error;
    std::unique_ptr<ParallelDeflate> deflate;
    std::atomic<bool> fileFailed{false};
    bool ended = false;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;

    DeflatingSource(zip_source_t* fileSource, int compressionLevel, std::uint64_t stopAt)
        : file(fileSource), level(compressionLevel), stopAbove(stopAt)
    {
        zip_error_init(&error);
    }
    ~DeflatingSource()
    {
        deflate.reset();
        zip_source_free(file);
        zip_error_fini(&error);
    }
    DeflatingSource(const DeflatingSource&) = delete;
    DeflatingSource& operator=(const DeflatingSource&) = delete;

    zip_int64_t fail(const zip_error_t* cause)
    {
        zip_error_set(&error, zip_error_code_zip(cause), zip_error_code_system(cause));
        return -1;
    }

    zip_int64_t open()
    {
        if (zip_source_open(file) < 0)
            return fail(zip_source_error(file));
        ended = false;
        fileFailed = false;
        handed = 0;
        // Started while zip_close runs, so the workers inherit the signal
        // mask that holds back an end request until the archive is whole.
        deflate = std::make_unique<ParallelDeflate>(
            [this](unsigned char* data, std::size_t count) -> std::int64_t {
                const zip_int64_t got = zip_source_read(file, data, count);
                if (got < 0)
                    fileFailed = true;
                return got;
            },
            level, archiveThreads());
        return 0;
    }

    zip_int64_t read(void* data, zip_uint64_t length)
    {
        const std::int64_t got = deflate->read(static_cast<unsigned char*>(data), static_cast<std::size_t>(length));
        if (got < 0) {
            if (fileFailed)
                return fail(zip_source_error(file));
            zip_error_set(&error, ZIP_ER_MEMORY, 0);
            return -1;
        }
        handed += static_cast<std::uint64_t>(got);
        if (stopAbove != 0 && handed > stopAbove) {
            zip_error_set(&error, ZIP_ER_CANCELLED, 0);
            return -1;
        }
        if (got == 0 && !ended) {
            ended = true;
            crc = deflate->crc();
            size = deflate->inputBytes();
        }
        return got;
    }

    zip_int64_t stat(zip_stat_t* st)
    {
        zip_stat_t fileStat;
        if (zip_source_stat(file, &fileStat) < 0)
            return fail(zip_source_error(file));
        st->valid = fileStat.valid & (ZIP_STAT_SIZE | ZIP_STAT_MTIME);
        st->size = fileStat.size;
        st->mtime = fileStat.mtime;
        st->comp_method = ZIP_CM_DEFLATE;
        st->valid |= ZIP_STAT_COMP_METHOD;
        // libzip asks again once the data is copied, and takes the CRC and
        // the length from that answer; the compressed size it counts itself.
        if (ended) {
            st->size = size;
            st->crc = crc;
            st->valid |= ZIP_STAT_SIZE | ZIP_STAT_CRC;
        }
        return sizeof(*st);
    }

    zip_int64_t attributes(zip_file_attributes_t* attributes)
    {
        if (zip_source_get_file_attributes(file, attributes) < 0)
            return fail(zip_source_error(file));
        // What libzip's own deflate writes: version 2.0, and bits 1-2 of the
        // general purpose flags saying how hard the data was compressed.
        attributes->valid |= ZIP_FILE_ATTRIBUTES_VERSION_NEEDED | ZIP_FILE_ATTRIBUTES_GENERAL_PURPOSE_BIT_FLAGS;
        attributes->version_needed = 20;
        attributes->general_purpose_bit_mask = 0x0006;
        attributes->general_purpose_bit_flags = level < 3 ? 2 << 1 : level > 7 ? 1 << 1 : 0;
        return sizeof(*attributes);
    }
};

zip_int64_t deflatingCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto* source = static_cast<DeflatingSource*>(state);
    // Nothing may unwind through libzip's C frames.
    try {
        switch (command) {
        case ZIP_SOURCE_OPEN:
            return source->open();
        case ZIP_SOURCE_READ:
            return source->read(data, length);
        case ZIP_SOURCE_CLOSE:
            source->deflate.reset();
            zip_source_close(source->file);
            return 0;
        case ZIP_SOURCE_STAT: {
            auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &source->error);
            return st == nullptr ? -1 : source->stat(st);
        }
        case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
            auto* attributes = ZIP_SOURCE_GET_ARGS(zip_file_attributes_t, data, length, &source->error);
            return attributes == nullptr ? -1 : source->attributes(attributes);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&source->error, data, length);
        case ZIP_SOURCE_FREE:
            delete source;
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS,
                                                  ZIP_SOURCE_GET_FILE_ATTRIBUTES, -1);
        default:
            zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    } catch (const std::bad_alloc&) {
        zip_error_set(&source->error, ZIP_ER_MEMORY, 0);
        return -1;
    }
}

} // namespace

zip_source_t* deflatingSource(zip_source_t* fileSource, int level, zip_error_t* error, std::uint64_t stopAbove)
{
    DeflatingSource* state = new (std::nothrow) DeflatingSource(fileSource, level, stopAbove);
    if (state == nullptr) {
        zip_source_free(fileSource);
        zip_error_set(error, ZIP_ER_MEMORY, 0);
        return nullptr;
    }
    zip_source_t* source = zip_source_function_create(deflatingCallback, state, error);
    if (source == nullptr)
        delete state;
    return source;
}
