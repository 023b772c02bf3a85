#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace testing_support {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes. Every path here is UTF-8, as in the
// program: std::filesystem takes one through u8path and gives one back
// through u8string, on every system.
class TempDir {
public:
    // Ascii: a plain name even where scratch names carry the non-ASCII
    // tail, for trees that tools which split paths at blanks must read
    // (xdg-utils splits XDG_DATA_DIRS so).
    enum class Name { AsConfigured, Ascii };
    explicit TempDir(Name name = Name::AsConfigured);
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
// Letters of 4 bits' entropy each, the same for the same seed: data that
// deflates to about half, so deflating it is real work in every block.
std::string halfEntropyText(std::size_t size, unsigned seed);
// Bytes of full entropy, the same for the same seed: data that does not deflate.
std::string randomBytes(std::size_t size, unsigned seed);
// The lines of a text, each without its line end.
std::vector<std::string> splitLines(const std::string& text);
// The names of what dir holds, sorted.
std::vector<std::string> filesIn(const std::string& dir);
// A percent-encoded text decoded as a mail client or a file manager decodes
// it; a % that starts no escape of two hex digits stays as it is.
std::string percentDecoded(const std::string& text);

} // namespace testing_support
