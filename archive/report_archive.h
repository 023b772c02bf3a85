#pragma once

#include <string>

// The zip of diagnostic files a crash report carries: the product's logs
// and minidumps that exist in the current directory, each committed by an
// open, add and close of its own so one bad file costs only itself.

extern const std::string productPrefix;      // "QXF"
extern const std::string reportArchiveName;  // "report.zip"

// The archive's path in the current directory.
std::string reportArchivePath();

// Deletes whatever lies at archivePath, then adds each diagnostic file that
// exists. Never fails its caller: every problem is one log line.
void buildReportArchive(const std::string& archivePath);

// productPrefix + suffix + "log": diagnosticLogName("-prev.0.") is "QXF-prev.0.log".
std::string diagnosticLogName(const char* suffix);

// Adds one file; an empty entryName uses filePath as the entry's name.
void addFileToZip(const std::string& archivePath, const std::string& filePath, const std::string& entryName);

// True when the file is a regular file that can be opened for reading.
bool fileExists(const std::string& path);
