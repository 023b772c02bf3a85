#include "delivery/report_archive.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include <zip.h>

#include "delivery/entry_compression.h"
#include "delivery/main_log.h"
#include "pellicor/logging.h"
#include "platform/files.h"
#include "platform/termination.h"

const std::string productPrefix = "QXF";
const std::string reportArchiveName = "report.zip";

namespace {

const std::string logExtension = "log";
const std::string currentMinidumpName = productPrefix + "-minidump.dmp";
const std::string previousMinidumpName = productPrefix + "-prev.minidump.dmp";

// The archive as libzip holds it; a failed zip_close leaves it open, so
// whatever was not closed is discarded here.
struct ZipDiscard {
    void operator()(zip_t* archive) const noexcept { zip_discard(archive); }
};
using ZipPtr = std::unique_ptr<zip_t, ZipDiscard>;

} // namespace

std::string reportArchivePath()
{
    std::string directory;
    if (!platform::currentDirectory(directory)) {
        // A relative name still lands in the current directory and still
        // names the attachment.
        logMain(levelError, [](std::ostream& out) {
            out << "Could not read the current directory, using " << reportArchiveName << "\n";
        });
        return reportArchiveName;
    }
    return directory + platform::pathSeparator + reportArchiveName;
}

std::string diagnosticLogName(const char* suffix)
{
    return productPrefix + suffix + logExtension;
}

namespace {

struct FileClose {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileClose>;

// The file opened for reading when it is a regular file. A crashed host may
// leave a FIFO, which would block the run, or a directory, which cannot be
// packed, under a diagnostic file's name.
FilePtr openRegularFile(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::u8path(path), ec))
        return nullptr;
    return FilePtr(platform::openFile(path, "rb"));
}

} // namespace

bool fileExists(const std::string& path)
{
    return openRegularFile(path) != nullptr;
}

void addFileToZip(const std::string& archivePath, const std::string& filePath, const std::string& entryName)
{
    // The file stays open from this check until the archive is written, so
    // the bytes packed are those of the file checked, even if the host
    // deletes or replaces it meanwhile.
    FilePtr file = openRegularFile(filePath);
    if (!file) {
        logMain(levelInfo, [&](std::ostream& out) {
            out << "File " << filePath << " not found, not adding to " << archivePath << "\n";
        });
        return;
    }
    logMain(levelInfo, [&](std::ostream& out) { out << "Adding " << filePath << " to " << archivePath << "\n"; });

    int error = 0;
    ZipPtr archive(zip_open(archivePath.c_str(), ZIP_CREATE, &error));
    if (!archive || error != 0) {
        logMain(levelError, [&](std::ostream& out) {
            out << "Zip could not open file " << archivePath << ", error: " << error << "\n";
        });
        return;
    }

    const std::string& name = entryName.empty() ? filePath : entryName;
    zip_source_t* source = zip_source_filep(archive.get(), file.get(), 0, -1);
    if (source != nullptr)
        file.release();  // the source closes it
    const zip_int64_t index =
        source == nullptr ? -1 : zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        if (source != nullptr)
            zip_source_free(source);
        logMain(levelError, [&](std::ostream& out) {
            out << "Error while adding file " << filePath << " to zip " << archivePath << ": "
                << zip_strerror(archive.get()) << "\n";
        });
    } else {
        // libzip's own default is deflate at its best level: several times
        // slower than the user's zip tool for a hair's worth of size.
        const EntryCompression packing = chooseEntryCompression(filePath);
        zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index),
                                 packing.store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 static_cast<zip_uint32_t>(packing.level));
    }

    // libzip writes the whole archive anew to a temporary file and renames
    // it: an end request arriving meanwhile waits until the rename is done,
    // so no half-written file is left beside the archive.
    const platform::DeferredTermination wholeFile;
    if (zip_close(archive.get()) == 0) {
        archive.release();
        return;
    }
    // libzip writes to a temporary file and renames it only on success:
    // the entries of earlier files stay as they were.
    logMain(levelError, [&](std::ostream& out) { out << "zip_close failed on " << archivePath << "\n"; });
}

void buildReportArchive(const std::string& archivePath)
{
    platform::removeFile(archivePath);
    const char* const logSuffixes[] = {"-0.", "-1.", "-2.", "-prev.0.", "-prev.1.", "-prev.2."};
    for (const char* suffix : logSuffixes)
        addFileToZip(archivePath, diagnosticLogName(suffix), "");
    addFileToZip(archivePath, currentMinidumpName, "");
    addFileToZip(archivePath, previousMinidumpName, "");
}
