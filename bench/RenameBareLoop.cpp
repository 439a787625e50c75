// The bare loop beside calvane-rename (bench_rename): only the work any renamer
// must do, in plain C++: list the folder, open each "*.mid", read its start, find
// the title after the first "MTrk", renameat2 it to the title plus ".mid" without
// replacing. No checks, no decoding, no output.
//
//   bench_rename_bare FOLDER      prints the number of files renamed
//
// It is also the small launcher that measures both programs, so that neither's
// peak resident set counts the benchmark's own memory (a forked child's pages
// count until it calls exec):
//
//   bench_rename_bare --measure PROGRAM ARGS...   writes "<peak KiB> <seconds> <status>" to fd 3

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kPiece = 64 << 10; // the first read; the rest only when the title is not in it

bool endsWithMid(const char* name)
{
    const size_t n = std::strlen(name);
    return n >= 4 && strcasecmp(name + n - 4, ".mid") == 0;
}

int measure(char** argv)
{
    ::fcntl(3, F_SETFD, FD_CLOEXEC); // the report pipe stays ours
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execv(argv[0], argv);
        std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string report = std::to_string(usage.ru_maxrss) + ' ' + std::to_string(seconds) + ' ' +
                               std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + '\n';
    return ::write(3, report.data(), report.size()) == static_cast<ssize_t>(report.size()) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && std::strcmp(argv[1], "--measure") == 0) {
        return measure(argv + 2);
    }
    if (argc != 2) {
        std::fputs("usage: bench_rename_bare FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + '/';
    DIR* dir = ::opendir(argv[1]);
    if (!dir) {
        std::perror(argv[1]);
        return 1;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.' && endsWithMid(entry->d_name)) {
            names.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);

    std::vector<char> buffer(kPiece);
    int renamed = 0;
    for (const std::string& name : names) {
        const std::string from = folder + name;
        const int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        ssize_t got = ::pread(fd, buffer.data(), kPiece, 0);
        const char* meta = nullptr;
        for (int pass = 0; pass < 2 && got > 0; ++pass) {
            const char* end = buffer.data() + got;
            const char* track =
                static_cast<const char*>(memmem(buffer.data(), static_cast<size_t>(got), "MTrk", 4));
            meta =
                track
                    ? static_cast<const char*>(memmem(track, static_cast<size_t>(end - track), "\xFF\x03", 2))
                    : nullptr;
            if (meta && meta + 3 <= end && meta + 3 + static_cast<unsigned char>(meta[2]) <= end) {
                break;
            }
            meta = nullptr;
            if (static_cast<size_t>(got) < kPiece) {
                break; // the whole file was read
            }
            const off_t size = ::lseek(fd, 0, SEEK_END); // not in the first piece: the whole file
            buffer.resize(static_cast<size_t>(size));
            got = ::pread(fd, buffer.data(), buffer.size(), 0);
        }
        ::close(fd);
        if (!meta) {
            continue;
        }
        const std::string to = folder + std::string(meta + 3, static_cast<unsigned char>(meta[2])) + ".mid";
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
            ++renamed;
        }
    }
    std::printf("%d\n", renamed);
    return 0;
}
