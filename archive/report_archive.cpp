#include "archive/report_archive.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include <zip.h>

#include "archive/archive_limit.h"
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

// 0 when the size cannot be read.
std::uint64_t fileSizeOnDisk(const std::string& path)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(std::filesystem::u8path(path), ec);
    return ec ? 0 : static_cast<std::uint64_t>(size);
}

} // namespace

bool fileExists(const std::string& path)
{
    return static_cast<bool>(openRegularFile(path));
}

namespace {

enum class Added { Yes, No, TooLarge };

// One open, add and close; with a limit, an entry that would pass it alone
// is given up as soon as that is known, and leaves the archive as it was.
// The archive opened for one cycle; empty, and said in the log, when it cannot be.
ZipPtr openArchive(const std::string& archivePath, int flags)
{
    int error = 0;
    ZipPtr archive(zip_open(archivePath.c_str(), flags, &error));
    if (!archive || error != 0) {
        logLine(Logger::MODULE_MAIN, Logger::levelError, "Zip could not open file ", archivePath, ", error: ", error,
                "\n");
        return {};
    }
    return archive;
}

// Ends a cycle. libzip writes the whole archive anew to a temporary file and
// renames it only on success, so a failed close leaves the archive as it was
// (and open here, for its error); an end request arriving meanwhile waits
// until the rename is done, so no half-written file is left beside it.
bool closeArchive(ZipPtr& archive)
{
    const platform::DeferredTermination wholeFile;
    if (zip_close(archive.get()) != 0)
        return false;
    archive.release();
    return true;
}

Added addFile(const std::string& archivePath, const std::string& filePath, const std::string& entryName,
              std::uint64_t limit)
{
    // The file stays open from this check until the archive is written, so
    // the bytes packed are those of the file checked, even if the host
    // deletes or replaces it meanwhile.
    platform::ScopedFile file = openRegularFile(filePath);
    if (!file) {
        logLine(Logger::MODULE_MAIN, Logger::levelInfo, "File ", filePath, " not found, not adding to ", archivePath,
                "\n");
        return Added::No;
    }
    logLine(Logger::MODULE_MAIN, Logger::levelInfo, "Adding ", filePath, " to ", archivePath, "\n");

    ZipPtr archive = openArchive(archivePath, ZIP_CREATE);
    if (!archive)
        return Added::No;

    const std::string& name = entryName.empty() ? filePath : entryName;
    // libzip's own default is deflate at its best level, on one thread:
    // several times slower than the user's zip tool for a hair's worth of
    // size. Entries are deflated here instead, on every core, and libzip
    // copies the result.
    const EntryCompression packing = chooseEntryCompression(filePath);
    // A stored entry is at least as large as its file.
    if (packing.store && limit != 0 && fileSizeOnDisk(filePath) > limit)
        return Added::TooLarge;
    zip_source_t* source = zip_source_filep(archive.get(), file.get(), 0, -1);
    if (source != nullptr) {
        file.release();  // the source closes it
        if (!packing.store)
            source = deflatingSource(source, packing.level, zip_get_error(archive.get()), limit);
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

    if (closeArchive(archive))
        return index < 0 ? Added::No : Added::Yes;
    // The entries of earlier files stay as they were.
    if (zip_error_code_zip(zip_get_error(archive.get())) == ZIP_ER_CANCELLED)
        return Added::TooLarge;
    logLine(Logger::MODULE_MAIN, Logger::levelError, "zip_close failed on ", archivePath, "\n");
    return Added::No;
}

} // namespace

void addFileToZip(const std::string& archivePath, const std::string& filePath, const std::string& entryName)
{
    addFile(archivePath, filePath, entryName, noArchiveLimit);
}

namespace {

// The diagnostic files in the table's order, which the archive keeps.
std::vector<std::string> diagnosticFiles()
{
    std::vector<std::string> names;
    for (const char* suffix : {"-0.", "-1.", "-2.", "-prev.0.", "-prev.1.", "-prev.2."})
        names.push_back(diagnosticLogName(suffix));
    names.push_back(currentMinidumpName);
    names.push_back(previousMinidumpName);
    return names;
}

// Smaller is more important: the crash itself, the logs of this run and of
// the one before, then the previous crash. A name of no diagnostic file (in
// an old archive that could not be deleted) comes last.
std::size_t importance(const std::string& name, const std::vector<std::string>& files)
{
    if (name == currentMinidumpName)
        return 0;
    const auto at = std::find(files.begin(), files.end(), name);
    return at == files.end() ? files.size() + 1 : static_cast<std::size_t>(at - files.begin()) + 1;
}

// What one entry adds to the archive besides its data: its local header and
// its central directory record, both with its name, and with Zip64 fields
// when it is that large. The size on disk decides in the end.
std::uint64_t entryBytes(const zip_stat_t& entry)
{
    const std::uint64_t zip64 = entry.size >= 0xFFFFFFFFu || entry.comp_size >= 0xFFFFFFFFu ? 20 + 28 : 0;
    return entry.comp_size + 30 + 46 + 2 * std::char_traits<char>::length(entry.name) + zip64;
}
constexpr std::uint64_t endRecordBytes = 22;

// Deletes the entries not in keep, in one more cycle: libzip copies those
// that stay as they are, without deflating them again.
bool keepOnly(const std::string& archivePath, const std::vector<std::string>& keep)
{
    ZipPtr archive = openArchive(archivePath, 0);
    if (!archive)
        return false;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive.get(), 0); ++i) {
        const char* name = zip_get_name(archive.get(), static_cast<zip_uint64_t>(i), 0);
        if (name == nullptr || std::find(keep.begin(), keep.end(), name) == keep.end())
            zip_delete(archive.get(), static_cast<zip_uint64_t>(i));
    }
    if (closeArchive(archive))
        return true;
    logLine(Logger::MODULE_MAIN, Logger::levelError, "zip_close failed on ", archivePath, "\n");
    return false;
}

// The archive's entries, most important first, with the bytes each takes.
std::vector<std::pair<std::string, std::uint64_t>> entriesByImportance(const std::string& archivePath)
{
    std::vector<std::pair<std::string, std::uint64_t>> entries;
    int error = 0;
    ZipPtr archive(zip_open(archivePath.c_str(), ZIP_RDONLY, &error));
    for (zip_int64_t i = 0; archive && i < zip_get_num_entries(archive.get(), 0); ++i) {
        zip_stat_t entry;
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &entry) == 0)
            entries.emplace_back(entry.name, entryBytes(entry));
    }
    const std::vector<std::string> files = diagnosticFiles();
    std::stable_sort(entries.begin(), entries.end(), [&](const auto& a, const auto& b) {
        return importance(a.first, files) < importance(b.first, files);
    });
    return entries;
}

// Leaves the archive within limit by deleting the least important entries
// that do not fit beside the more important ones; the names deleted.
std::vector<std::string> fitWithinLimit(const std::string& archivePath, std::uint64_t limit)
{
    std::vector<std::string> dropped;
    if (limit == 0 || fileSizeOnDisk(archivePath) <= limit)
        return dropped;
    std::vector<std::string> kept;
    std::uint64_t total = endRecordBytes;
    for (const auto& [name, bytes] : entriesByImportance(archivePath)) {
        if (total + bytes <= limit) {
            kept.push_back(name);
            total += bytes;
        } else {
            dropped.push_back(name);
        }
    }
    // An archive that cannot be rewritten keeps every entry it has.
    if (!keepOnly(archivePath, kept))
        return {};
    // Counted headers are only a forecast: what is on disk decides, and the
    // least important entry left goes until that fits too.
    while (!kept.empty() && fileSizeOnDisk(archivePath) > limit) {
        const std::string last = kept.back();
        kept.pop_back();
        if (!keepOnly(archivePath, kept))
            break;
        dropped.push_back(last);
    }
    return dropped;
}

} // namespace

std::vector<LeftOutFile> buildReportArchive(const std::string& archivePath, std::uint64_t limit)
{
    platform::removeFile(archivePath);
    const std::vector<std::string> files = diagnosticFiles();
    std::vector<std::string> leftOut;
    for (const std::string& file : files) {
        if (addFile(archivePath, file, "", limit) == Added::TooLarge)
            leftOut.push_back(file);
    }
    for (const std::string& name : fitWithinLimit(archivePath, limit))
        leftOut.push_back(name);

    std::vector<LeftOutFile> result;
    for (const std::string& file : files) {
        if (std::find(leftOut.begin(), leftOut.end(), file) == leftOut.end())
            continue;
        logLine(Logger::MODULE_MAIN, Logger::levelWarn, "File ", file, " left out of ", archivePath,
                ": the archive would pass the mail size limit of ", limit, " bytes\n");
        result.push_back({file, fileSizeOnDisk(file)});
    }
    return result;
}
