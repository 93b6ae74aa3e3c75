#include "NoReplace.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

PlanError systemError(int code)
{
    return {code == ENOSPC || code == EDQUOT ? NoReplace::diskFullText : qt_error_string(code)};
}

bool writeAll(int fd, const char* data, ssize_t size)
{
    for (ssize_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size_t(size - done));
        if (n < 0 && errno != EINTR) {
            return false;
        }
        done += std::max<ssize_t>(n, 0);
    }
    return true;
}

// A copy keeps the original's access and modification times, as a file manager's copy does. Where the file
// system cannot take them the copy keeps the times it got: that is no reason to fail it.
void keepTimes(const QByteArray& path, const struct stat& original)
{
    const timespec times[2] = {original.st_atim, original.st_mtim};
    ::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW);
}

Result<void, PlanError> copyRegular(const QByteArray& from, const QByteArray& to, const struct stat& info,
                                    bool& created)
{
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return systemError(errno);
    }
    const int out = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, info.st_mode & 0777);
    if (out < 0) {
        const int code = errno;
        ::close(in);
        return systemError(code);
    }
    created = true;
    int code = 0;
    bool plain = false; // copy_file_range is not offered between every pair of file systems
    for (;;) {
        ssize_t n = 0;
        if (!plain) {
            n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                plain = true;
                continue;
            }
        } else {
            char buffer[1 << 16];
            n = ::read(in, buffer, sizeof buffer);
            if (n > 0 && !writeAll(out, buffer, n)) {
                n = -1;
            }
        }
        if (n == 0) {
            break;
        }
        if (n < 0 && errno != EINTR) {
            code = errno;
            break;
        }
    }
    ::close(in);
    if (code == 0) {
        const timespec times[2] = {info.st_atim, info.st_mtim};
        ::futimens(out, times); // see keepTimes
    }
    if (::close(out) != 0 && code == 0) {
        code = errno;
    }
    if (code != 0) {
        return systemError(code);
    }
    return {};
}

Result<void, PlanError> copyItem(const QByteArray& from, const QByteArray& to, bool& created)
{
    struct stat info
    {
    };
    if (::lstat(from.constData(), &info) != 0) {
        return systemError(errno);
    }
    if (S_ISREG(info.st_mode)) {
        return copyRegular(from, to, info, created);
    }
    if (S_ISLNK(info.st_mode)) {
        QByteArray target(qsizetype(info.st_size) + 1, '\0');
        const ssize_t n = ::readlink(from.constData(), target.data(), size_t(target.size()));
        if (n < 0) {
            return systemError(errno);
        }
        target.truncate(n);
        if (::symlink(target.constData(), to.constData()) != 0) {
            return systemError(errno);
        }
        created = true;
        keepTimes(to, info);
        return {};
    }
    if (!S_ISDIR(info.st_mode)) {
        return systemError(EOPNOTSUPP); // devices, pipes and sockets are not copied
    }
    if (::mkdir(to.constData(), (info.st_mode & 07777) | S_IRWXU) != 0) {
        return systemError(errno);
    }
    created = true;
    DIR* dir = ::opendir(from.constData());
    if (!dir) {
        return systemError(errno);
    }
    Result<void, PlanError> failure;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..") {
            continue;
        }
        bool inner = false;
        failure = copyItem(from + '/' + name, to + '/' + name, inner);
        if (!failure.ok()) {
            break;
        }
    }
    ::closedir(dir);
    if (failure.ok()) {
        keepTimes(to, info); // last: every entry made inside changed the folder's time
    }
    return failure;
}

void removeItem(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) {
        NoReplace::removeTree(path);
    } else {
        QFile::remove(path);
    }
}

// Empties the open folder `dir` one level at a time, each name relative to its own folder.
bool removeContents(int dir)
{
    const int listed = ::dup(dir);
    DIR* listing = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!listing) {
        if (listed >= 0) {
            ::close(listed);
        }
        return false;
    }
    // Read whole before anything goes: removing while reading may skip names.
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    ::closedir(listing);
    bool removed = true;
    for (const std::string& name : names) {
        if (::unlinkat(dir, name.c_str(), 0) == 0 || errno == ENOENT) {
            continue;
        }
        const int sub
            = errno == EISDIR ? ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
        const bool emptied = sub >= 0 && removeContents(sub);
        if (sub >= 0) {
            ::close(sub);
        }
        removed = emptied && ::unlinkat(dir, name.c_str(), AT_REMOVEDIR) == 0 && removed;
    }
    return removed;
}

} // namespace

namespace NoReplace {

std::FILE* createFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        ::close(fd);
    }
    return file;
}

Result<void, PlanError> writeNew(const QString& path, const QByteArray& bytes)
{
    std::FILE* file = createFile(path);
    if (!file) {
        return systemError(errno);
    }
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), file) == size_t(bytes.size());
    const int code = errno;
    if (std::fclose(file) != 0 || !written) {
        QFile::remove(path);
        return systemError(written ? errno : code);
    }
    return {};
}

Result<void, PlanError> copy(const QString& from, const QString& to)
{
    bool created = false;
    Result<void, PlanError> failure = copyItem(QFile::encodeName(from), QFile::encodeName(to), created);
    if (!failure.ok() && created) {
        removeItem(to);
    }
    return failure;
}

Result<void, PlanError> move(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    // Another file system, or one that cannot rename without replacing: copy, then remove the original.
    if (errno != EXDEV && errno != EINVAL && errno != ENOSYS) {
        return systemError(errno);
    }
    if (Result<void, PlanError> copied = copy(from, to); !copied.ok()) {
        return copied;
    }
    // The item is in its new place now; what cannot be removed of the original stays rather than failing.
    removeItem(from);
    return {};
}

bool removeTree(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int dir = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
        return errno == ENOENT;
    }
    const bool emptied = removeContents(dir);
    ::close(dir);
    return emptied && ::rmdir(name.constData()) == 0;
}

} // namespace NoReplace
