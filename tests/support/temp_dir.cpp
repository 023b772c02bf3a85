#include "tests/support/temp_dir.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testing_support {

namespace {

// Where the build or the test program asks for it (every test on Windows, a
// share on Linux), each scratch folder's name holds characters outside ASCII
// and outside code page 1252 ("Jösé Müller 東京"), so every path a test
// hands to the program, the libraries or the system crosses them.
std::string folderNameTail()
{
#ifndef PELLICOR_TEST_NON_ASCII_FOLDERS
    const char* wanted = std::getenv("PELLICOR_TEST_NON_ASCII_FOLDERS");
    if (wanted == nullptr || std::string(wanted) != "1")
        return "";
#endif
    return " J\xC3\xB6s\xC3\xA9 M\xC3\xBCller \xE6\x9D\xB1\xE4\xBA\xAC";
}

} // namespace

TempDir::TempDir(Name kind)
{
    static std::atomic<unsigned> counter{0};
    static const std::string configuredTail = folderNameTail();
    const std::string tail = kind == Name::Ascii ? std::string() : configuredTail;
    std::random_device seed;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = "pellicor-test-" + std::to_string(seed()) + "-" + std::to_string(counter++) + tail;
        const fs::path candidate = fs::temp_directory_path() / fs::u8path(name);
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate.u8string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Tests take rights away to provoke failures; give them back so the
    // directory can go.
    const fs::path root = fs::u8path(path_);
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root, ec);
}

std::string TempDir::file(const std::string& name) const
{
    return (fs::u8path(path_) / fs::u8path(name)).u8string();
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string& dir)
    : previous_(fs::current_path().u8string())
{
    fs::current_path(fs::u8path(dir));
}

ScopedCurrentDirectory::~ScopedCurrentDirectory()
{
    std::error_code ec;
    fs::current_path(fs::u8path(previous_), ec);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(fs::u8path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

bool fileExists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(fs::u8path(path), ec);
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> filesIn(const std::string& dir)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::u8path(dir)))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string percentDecoded(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1]))
            && std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

std::string halfEntropyText(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>('a' + random() % 16);
    return bytes;
}

} // namespace testing_support
