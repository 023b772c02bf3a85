#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The zip of diagnostic files a crash report carries: the product's logs
// and minidumps that exist in the current directory, each committed by an
// open, add and close of its own so one bad file costs only itself.

extern const std::string productPrefix;      // "QXF"
extern const std::string reportArchiveName;  // "report.zip"

// The archive's path in the current directory.
std::string reportArchivePath();

// A diagnostic file kept out of the archive so that it stays within its limit.
struct LeftOutFile {
    std::string name;
    std::uint64_t size;  // the file's size on disk
};

// Deletes whatever lies at archivePath, then adds each diagnostic file that
// exists. Never fails its caller: every problem is one log line.
//
// With a limit (bytes; 0: none) an archive that passes it keeps the most
// important files that fit beside each other, the current minidump first and
// the previous one last, and gives back the others in the table's order,
// each warned of in the log. Within the limit nothing differs from a run
// without one.
std::vector<LeftOutFile> buildReportArchive(const std::string& archivePath, std::uint64_t limit = 0);

// productPrefix + suffix + "log": diagnosticLogName("-prev.0.") is "QXF-prev.0.log".
std::string diagnosticLogName(const char* suffix);

// Adds one file; an empty entryName uses filePath as the entry's name.
void addFileToZip(const std::string& archivePath, const std::string& filePath, const std::string& entryName);

// True when the file is a regular file that can be opened for reading.
bool fileExists(const std::string& path);
