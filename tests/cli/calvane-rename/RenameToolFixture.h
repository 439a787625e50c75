#pragma once

// calvane-rename as a real process in a temporary folder, with its journals and
// settings there too, and the folder's whole tree for comparing before and after.

#include "QtPrint.h"
#include "TempDir.h"
#include "cli/calvane-rename/RenameTool.h"
#include "midi/MidiBytes.h"

#include <QDir>
#include <QList>
#include <QStringList>

#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace calvane::test {

struct ToolRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

/// A folder's whole tree by native relative path: a file's bytes, "<folder>" or
/// "-> target" for a link.
using Tree = std::map<QByteArray, QByteArray>;

inline void scanTree(const QByteArray& root, const QByteArray& relative, Tree& tree)
{
    DIR* dir = ::opendir((root + relative).constData());
    ASSERT_NE(dir, nullptr) << (root + relative).toStdString();
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        const QByteArray path = relative + '/' + name;
        struct stat st
        {};
        ASSERT_EQ(::lstat((root + path).constData(), &st), 0);
        if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlink((root + path).constData(), target, sizeof target);
            tree[path] = "-> " + QByteArray(target, static_cast<qsizetype>(std::max<ssize_t>(n, 0)));
        } else if (S_ISDIR(st.st_mode)) {
            tree[path] = "<folder>";
            scanTree(root, path, tree);
        } else {
            QByteArray bytes(static_cast<qsizetype>(st.st_size), '\0');
            const int fd = ::open((root + path).constData(), O_RDONLY);
            EXPECT_EQ(::read(fd, bytes.data(), static_cast<size_t>(bytes.size())), bytes.size());
            ::close(fd);
            tree[path] = bytes;
        }
    }
    ::closedir(dir);
}

class RenameToolTest : public ::testing::Test
{
protected:
    ~RenameToolTest() override
    {
        // Names that are not UTF-8 are beyond QTemporaryDir's removal.
        ::nftw(
            root.constData(), [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); },
            16, FTW_DEPTH | FTW_PHYS);
    }

    /// The tool in the temporary folder, its journals, settings and trash there too;
    /// with `fileSystem`, the tool's run in a child of this process over that file system.
    ToolRun tool(const QList<QByteArray>& args, RenameCalls* fileSystem = nullptr) const
    {
        const QByteArray outFile = root + "/.out";
        const QByteArray errFile = root + "/.err";
        const pid_t child = ::fork();
        if (child == 0) {
            ::chdir(root.constData());
            ::setenv("XDG_STATE_HOME", (root + "/.state").constData(), 1);
            ::setenv("XDG_CONFIG_HOME", (root + "/.config").constData(), 1);
            ::setenv("XDG_DATA_HOME", (root + "/.data").constData(), 1); // its desktop trash
            const int out = ::open(outFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(errFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(out, STDOUT_FILENO);
            ::dup2(err, STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(CALVANE_RENAME_EXE)};
            for (const QByteArray& a : args) {
                argv.push_back(const_cast<char*>(a.constData()));
            }
            argv.push_back(nullptr);
            if (fileSystem) {
                const int status = RunRenameTool(
                    ParseRenameToolArgs(static_cast<int>(argv.size()) - 1, argv.data()), [] { return false; },
                    *fileSystem);
                std::fflush(stdout);
                std::_Exit(status);
            }
            ::execv(argv[0], argv.data());
            std::_Exit(127);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ToolRun run;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = TempDir::read(QString::fromUtf8(outFile));
        run.err = TempDir::read(QString::fromUtf8(errFile));
        return run;
    }

    /// The tool started on a pipe that nobody reads yet: the run blocks part way,
    /// once the pipe is full, in the middle of the files. Returns once the journal
    /// has stopped growing; `output` is the pipe's end to read.
    pid_t startBlocked(const QList<QByteArray>& args, int& output) const
    {
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::chdir(root.constData());
            ::setenv("XDG_STATE_HOME", (root + "/.state").constData(), 1);
            ::setenv("XDG_CONFIG_HOME", (root + "/.config").constData(), 1);
            ::setenv("XDG_DATA_HOME", (root + "/.data").constData(), 1);
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            const int err = ::open((root + "/.err").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(err, STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(CALVANE_RENAME_EXE)};
            for (const QByteArray& a : args) {
                argv.push_back(const_cast<char*>(a.constData()));
            }
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            std::_Exit(127);
        }
        ::close(out[1]);
        output = out[0];
        qsizetype journaled = -1;
        for (int wait = 0; wait < 200; ++wait) { // until the journal stops growing
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const qsizetype now =
                journals().isEmpty() ? 0 : TempDir::read(QString::fromUtf8(journals()[0])).count('\n');
            if (now > 0 && now == journaled) {
                break;
            }
            journaled = now;
        }
        return child;
    }

    /// Reads the rest of the output and waits for the end: the exit status, or -1.
    static int finish(pid_t child, int output, QByteArray& printed)
    {
        char buf[65536];
        for (ssize_t n; (n = ::read(output, buf, sizeof buf)) > 0;) {
            printed.append(buf, n);
        }
        ::close(output);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void write(const QByteArray& path, const QByteArray& bytes) const
    {
        const QByteArray full = root + '/' + path;
        for (qsizetype slash = full.indexOf('/', root.size() + 1); slash > 0;
             slash = full.indexOf('/', slash + 1)) {
            ::mkdir(full.first(slash).constData(), 0755);
        }
        const int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << full.toStdString();
        EXPECT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
        ::close(fd);
    }

    Tree tree(const QByteArray& folder = "music") const
    {
        Tree t;
        scanTree(root + '/' + folder, {}, t);
        return t;
    }

    /// Removes a file or a whole tree, links as links.
    static void removeTree(const QByteArray& path)
    {
        ::nftw(
            path.constData(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }

    /// The journals written so far, oldest first.
    QList<QByteArray> journals() const
    {
        QStringList names =
            QDir(QString::fromUtf8(root + "/.state/calvane")).entryList(QDir::Files, QDir::Name);
        QList<QByteArray> paths;
        for (const QString& name : names) {
            paths << root + "/.state/calvane/" + name.toUtf8();
        }
        return paths;
    }

    TempDir dir;
    const QByteArray root = QFile::encodeName(dir.root());
};

inline const QByteArray kSjisSong = hex("8F74 82CC 8A43"); // 春の海

inline QStringList lines(const QByteArray& out)
{
    QStringList l = QString::fromUtf8(out).split(u'\n');
    if (!l.isEmpty() && l.back().isEmpty()) {
        l.pop_back();
    }
    return l;
}

} // namespace calvane::test
