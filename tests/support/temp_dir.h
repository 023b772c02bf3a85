#pragma once

#include <string>
#include <vector>

namespace testing_support {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes. Every path here is UTF-8, as in the
// program: std::filesystem takes one through u8path and gives one back
// through u8string, on every system.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

// Makes dir the current directory for the object's life.
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::string& dir);
    ~ScopedCurrentDirectory();
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

private:
    std::string previous_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
// The lines of a text, each without its line end.
std::vector<std::string> splitLines(const std::string& text);

} // namespace testing_support
