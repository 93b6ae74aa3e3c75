#include "ArchiveUnpacker.h"

#include "ArchiveTree.h"
#include "Failure.h"

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace {

using ReadArchive = std::unique_ptr<archive, decltype(&archive_read_free)>;

std::string quoted(const std::string& text)
{
    return "“" + text + "”";
}

// Resource forks and Finder data that zip tools of another system add beside the real files.
bool isForkFolder(const std::vector<std::string>& parts)
{
    return !parts.empty() && parts.front() == "__MACOSX";
}

[[noreturn]] void readFailed(archive* reader, const fs::path& path)
{
    const char* why = archive_error_string(reader);
    throw Failure("Invalid data found in " + quoted(path.string())
                  + ", so nothing was unpacked: " + (why ? why : "it is not a readable archive") + ".");
}

// How deep a name may lie: deeper ones are hostile, never a real folder tree.
constexpr std::size_t maxDepth = 256;

ReadArchive openArchive(const fs::path& path, bool anyFormat)
{
    ReadArchive reader(archive_read_new(), &archive_read_free);
    archive_read_support_format_zip(reader.get());
    if (anyFormat) {
        archive_read_support_format_tar(reader.get());
        archive_read_support_format_gnutar(reader.get());
        // The compressions tar archives come in, all decoded by libraries (none by another program).
        archive_read_support_filter_gzip(reader.get());
        archive_read_support_filter_bzip2(reader.get());
        archive_read_support_filter_xz(reader.get());
        archive_read_support_filter_lzma(reader.get());
        archive_read_support_filter_zstd(reader.get());
    }
    if (archive_read_open_filename(reader.get(), path.c_str(), 1 << 16) != ARCHIVE_OK) {
        if (archive_errno(reader.get()) == ENOENT) {
            throw Failure(quoted(path.string()) + ": No such file or directory.");
        }
        readFailed(reader.get(), path);
    }
    return reader;
}

std::string entryName(archive_entry* entry)
{
    const char* utf8 = archive_entry_pathname_utf8(entry);
    const char* raw = archive_entry_pathname(entry);
    return utf8 ? utf8 : (raw ? raw : "");
}

// The target checked is the target written.
std::string linkTarget(archive_entry* entry)
{
    const char* utf8 = archive_entry_symlink_utf8(entry);
    const char* raw = archive_entry_symlink(entry);
    return utf8 ? utf8 : (raw ? raw : "");
}

std::string joined(const std::vector<std::string>& parts, std::size_t count)
{
    std::string path;
    for (std::size_t i = 0; i < count; ++i) {
        path += (i ? "/" : "") + parts[i];
    }
    return path;
}

[[noreturn]] void writeFailed(const std::vector<std::string>& parts, std::size_t count, int code)
{
    throw Failure("Could not unpack " + quoted(joined(parts, count)) + ": " + std::strerror(code) + ".");
}

// An open file descriptor, closed when it goes.
class Fd
{
public:
    explicit Fd(int fd = -1)
        : m_fd(fd)
    {
    }
    Fd(Fd&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Fd& operator=(Fd&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Fd()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int get() const { return m_fd; }
    // Closes now and tells whether that worked: a full disk may show only here.
    bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

Fd openDir(int parent, const char* name)
{
    return Fd(::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

timespec entryTime(archive_entry* entry)
{
    if (!archive_entry_mtime_is_set(entry)) {
        return {0, UTIME_OMIT};
    }
    return {archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)};
}

} // namespace

ArchiveUnpacker::ArchiveUnpacker(fs::path archive, fs::path dest, bool anyFormat)
    : m_archive(fs::absolute(std::move(archive)))
    , m_dest(fs::absolute(std::move(dest)))
    , m_anyFormat(anyFormat)
{
}

ArchiveUnpacker::~ArchiveUnpacker()
{
    if (!m_done) {
        rollBack();
    }
}

void ArchiveUnpacker::run()
{
    std::error_code ec;
    const fs::file_status destStatus = fs::status(m_dest, ec);
    if (fs::exists(destStatus) && !fs::is_directory(destStatus)) {
        throw Failure(quoted(m_dest.string()) + " already exists and is not a folder.");
    }
    check();
    if (!fs::exists(destStatus)) {
        fs::path missing = m_dest;
        std::vector<fs::path> toMake;
        while (!fs::exists(fs::symlink_status(missing, ec))) {
            toMake.push_back(missing);
            missing = missing.parent_path();
        }
        for (auto it = toMake.rbegin(); it != toMake.rend(); ++it) {
            if (::mkdir(it->c_str(), 0755) != 0) {
                throw Failure("Could not create " + quoted(it->string()) + ": " + std::strerror(errno) + ".");
            }
            m_madeDest.push_back(*it);
        }
    }
    m_umask = ::umask(0);
    ::umask(m_umask);
    unpack();
    m_done = true;
}

void ArchiveUnpacker::check()
{
    ReadArchive reader = openArchive(m_archive, m_anyFormat);
    ArchiveTree tree(m_dest);
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK || status == ARCHIVE_WARN) {
        const std::string name = entryName(entry);
        const std::vector<std::string> parts = ArchiveTree::split(name);
        if (parts.empty() || isForkFolder(parts)) {
            continue;
        }
        if (archive_entry_hardlink(entry)) {
            throw Failure("The archive holds " + quoted(name) + ", a hard link, which is not unpacked.");
        }
        if (parts.size() > maxDepth) {
            throw Failure("That archive has folders nested too deeply to unpack: "
                          + quoted(parts.front() + "/…/" + parts.back())
                          + " lies more than 256 folders deep, so nothing was unpacked.");
        }
        switch (archive_entry_filetype(entry)) {
        case AE_IFREG:
            tree.add(parts, ArchiveTree::Kind::file);
            break;
        case AE_IFDIR:
            tree.add(parts, ArchiveTree::Kind::folder);
            break;
        case AE_IFLNK:
            tree.add(parts, ArchiveTree::Kind::link, linkTarget(entry));
            break;
        default:
            throw Failure("The archive holds " + quoted(name)
                          + ", a device or other special file, which is not unpacked.");
        }
    }
    if (status != ARCHIVE_EOF) {
        readFailed(reader.get(), m_archive);
    }
    tree.checkLinks();
}

void ArchiveUnpacker::unpack()
{
    ReadArchive reader = openArchive(m_archive, m_anyFormat);
    const Fd dest(::open(m_dest.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dest.get() < 0) {
        throw Failure("Could not open " + quoted(m_dest.string()) + ": " + std::strerror(errno) + ".");
    }
    // The folders of the last entry, each open: the next entry starts from the part it shares.
    std::vector<std::pair<std::string, Fd>> chain;
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK || status == ARCHIVE_WARN) {
        const Parts parts = ArchiveTree::split(entryName(entry));
        if (parts.empty() || isForkFolder(parts)) {
            continue;
        }
        const mode_t type = archive_entry_filetype(entry);
        const std::size_t folders = type == AE_IFDIR ? parts.size() : parts.size() - 1;
        std::size_t kept = 0;
        while (kept < chain.size() && kept < folders && chain[kept].first == parts[kept]) {
            ++kept;
        }
        chain.resize(kept);
        for (std::size_t i = kept; i < folders; ++i) {
            chain.emplace_back(parts[i], Fd(openFolder(i ? chain[i - 1].second.get() : dest.get(), parts, i + 1)));
        }
        const int parent = folders ? chain[folders - 1].second.get() : dest.get();
        if (type == AE_IFREG) {
            writeFile(reader.get(), entry, parent, parts);
        } else if (type == AE_IFLNK) {
            if (::symlinkat(linkTarget(entry).c_str(), parent, parts.back().c_str()) != 0) {
                writeFailed(parts, parts.size(), errno);
            }
            m_created.push_back(parts);
            const timespec times[2] = {{0, UTIME_OMIT}, entryTime(entry)};
            ::utimensat(parent, parts.back().c_str(), times, AT_SYMLINK_NOFOLLOW);
        }
    }
    if (status != ARCHIVE_EOF) {
        readFailed(reader.get(), m_archive);
    }
}

int ArchiveUnpacker::openFolder(int parent, const Parts& parts, std::size_t depth)
{
    const char* name = parts[depth - 1].c_str();
    Fd folder = openDir(parent, name);
    if (folder.get() < 0 && errno == ENOENT) {
        if (::mkdirat(parent, name, 0777 & ~m_umask) != 0) {
            writeFailed(parts, depth, errno);
        }
        m_created.emplace_back(parts.begin(), parts.begin() + std::ptrdiff_t(depth));
        folder = openDir(parent, name);
    }
    if (folder.get() < 0) {
        // An existing file or a link where a folder goes is never written through.
        writeFailed(parts, depth, errno);
    }
    return folder.release();
}

void ArchiveUnpacker::writeFile(archive* reader, archive_entry* entry, int parent, const Parts& parts)
{
    Fd file(::openat(parent, parts.back().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.get() < 0) {
        writeFailed(parts, parts.size(), errno);
    }
    m_created.push_back(parts);
    const void* block;
    size_t size;
    la_int64_t offset;
    int read;
    while ((read = archive_read_data_block(reader, &block, &size, &offset)) == ARCHIVE_OK) {
        // Every byte is written or the entry fails: a full disk shows as a short or failed write.
        const char* bytes = static_cast<const char*>(block);
        while (size > 0) {
            const ssize_t written = ::pwrite(file.get(), bytes, size, offset);
            if (written <= 0) {
                writeFailed(parts, parts.size(), written < 0 ? errno : ENOSPC);
            }
            bytes += written;
            offset += written;
            size -= size_t(written);
        }
    }
    if (read != ARCHIVE_EOF) {
        readFailed(reader, m_archive);
    }
    // A sparse file ends in a hole that no block wrote.
    if (archive_entry_size_is_set(entry) && ::ftruncate(file.get(), archive_entry_size(entry)) != 0) {
        writeFailed(parts, parts.size(), errno);
    }
    // Plain files of whoever unpacks: no owner from the archive, no set-uid, set-gid or sticky bit.
    const timespec times[2] = {{0, UTIME_OMIT}, entryTime(entry)};
    if (::fchmod(file.get(), archive_entry_perm(entry) & 0777 & ~m_umask) != 0 || ::futimens(file.get(), times) != 0
        || !file.close()) {
        writeFailed(parts, parts.size(), errno);
    }
}

void ArchiveUnpacker::rollBack()
{
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
        removeCreated(*it);
    }
    for (auto it = m_madeDest.rbegin(); it != m_madeDest.rend(); ++it) {
        ::rmdir(it->c_str());
    }
}

void ArchiveUnpacker::removeCreated(const Parts& parts) const
{
    // Walked down folder by folder: a deep name is longer than the system takes in one path.
    Fd folder(::open(m_dest.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (std::size_t i = 0; i + 1 < parts.size() && folder.get() >= 0; ++i) {
        folder = openDir(folder.get(), parts[i].c_str());
    }
    // A folder that still holds something not ours stays.
    if (folder.get() >= 0 && ::unlinkat(folder.get(), parts.back().c_str(), 0) != 0 && errno == EISDIR) {
        ::unlinkat(folder.get(), parts.back().c_str(), AT_REMOVEDIR);
    }
}
