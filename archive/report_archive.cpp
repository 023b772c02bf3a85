#include "archive/report_archive.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include <zip.h>

#include "archive/deflating_source.h"
#include "archive/entry_compression.h"
#include "logging/log_line.h"
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
using ZipPtr = platform::ScopedPointer<zip_t, &zip_discard>;

} // namespace

std::string reportArchivePath()
{
    std::string directory;
    if (!platform::currentDirectory(directory)) {
        // A relative name still lands in the current directory and still
        // names the attachment.
        logLine(Logger::MODULE_MAIN, Logger::levelError, "Could not read the current directory, using ",
                reportArchiveName, "\n");
        return reportArchiveName;
    }
    return directory + platform::pathSeparator + reportArchiveName;
}

std::string diagnosticLogName(const char* suffix)
{
    return productPrefix + suffix + logExtension;
}

namespace {

// The file opened for reading when it is a regular file. A crashed host may
// leave a FIFO, which would block the run, or a directory, which cannot be
// packed, under a diagnostic file's name.
platform::ScopedFile openRegularFile(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::u8path(path), ec))
        return {};
    return platform::ScopedFile(platform::openFile(path, "rb"));
}

} // namespace

bool fileExists(const std::string& path)
{
    return static_cast<bool>(openRegularFile(path));
}

void addFileToZip(const std::string& archivePath, const std::string& filePath, const std::string& entryName)
{
    // The file stays open from this check until the archive is written, so
    // the bytes packed are those of the file checked, even if the host
    // deletes or replaces it meanwhile.
    platform::ScopedFile file = openRegularFile(filePath);
    if (!file) {
        logLine(Logger::MODULE_MAIN, Logger::levelInfo, "File ", filePath, " not found, not adding to ", archivePath,
                "\n");
        return;
    }
    logLine(Logger::MODULE_MAIN, Logger::levelInfo, "Adding ", filePath, " to ", archivePath, "\n");

    int error = 0;
    ZipPtr archive(zip_open(archivePath.c_str(), ZIP_CREATE, &error));
    if (!archive || error != 0) {
        logLine(Logger::MODULE_MAIN, Logger::levelError, "Zip could not open file ", archivePath, ", error: ", error,
                "\n");
        return;
    }

    const std::string& name = entryName.empty() ? filePath : entryName;
    // libzip's own default is deflate at its best level, on one thread:
    // several times slower than the user's zip tool for a hair's worth of
    // size. Entries are deflated here instead, on every core, and libzip
    // copies the result.
    const EntryCompression packing = chooseEntryCompression(filePath);
    zip_source_t* source = zip_source_filep(archive.get(), file.get(), 0, -1);
    if (source != nullptr) {
        file.release();  // the source closes it
        if (!packing.store)
            source = deflatingSource(source, packing.level, zip_get_error(archive.get()));
    }
    const zip_int64_t index =
        source == nullptr ? -1 : zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        if (source != nullptr)
            zip_source_free(source);
        logLine(Logger::MODULE_MAIN, Logger::levelError, "Error while adding file ", filePath, " to zip ",
                archivePath, ": ", zip_strerror(archive.get()), "\n");
    } else if (packing.store) {
        zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    // A deflated entry keeps libzip's default method, which takes the
    // source's own: libzip then neither inflates nor deflates it again.

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
    logLine(Logger::MODULE_MAIN, Logger::levelError, "zip_close failed on ", archivePath, "\n");
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
