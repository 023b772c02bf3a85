// Writes each of its arguments after the first, NUL-terminated, to the file
// its first argument names: what a started program really received.
#include <cstdio>
#include <string>

int main(int argc, char* argv[])
{
    if (argc < 2)
        return 2;
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr)
        return 3;
    for (int i = 2; i < argc; ++i)
        std::fwrite(argv[i], 1, std::char_traits<char>::length(argv[i]) + 1, out);
    std::fclose(out);
    return argc - 2;
}
