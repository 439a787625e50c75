// A stand-in external player: writes each argument it got, NUL-terminated, to
// the file named by its first argument.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 2) {
        return 2;
    }
    const char* out = argv[1];
    char tmp[4096];
    std::snprintf(tmp, sizeof tmp, "%s.part", out);
    FILE* f = std::fopen(tmp, "wb");
    if (!f) {
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, f);
    }
    std::fclose(f);
    return std::rename(tmp, out) == 0 ? 0 : 1; // the file appears whole
}
