#include "ArchiveUnpacker.h"

#include "ArchiveTree.h"
#include "Failure.h"

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using ReadArchive = std::unique_ptr<archive, decltype(&archive_read_free)>;
using WriteArchive = std::unique_ptr<archive, decltype(&archive_write_free)>;

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

// The system's words for a failed write (a full disk says "No space left on device"), else libarchive's.
std::string writeError(archive* writer)
{
    const int code = archive_errno(writer);
    const char* why = archive_error_string(writer);
    return code > 0 ? std::strerror(code) : (why ? why : "write error");
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
            m_created.push_back(*it);
        }
    }
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
            throw Failure("The archive holds " + quoted(parts.front() + "/…/" + parts.back())
                          + ", which lies more than 256 folders deep, so nothing was unpacked.");
        }
        switch (archive_entry_filetype(entry)) {
        case AE_IFREG:
            tree.add(parts, ArchiveTree::Kind::file);
            break;
        case AE_IFDIR:
            tree.add(parts, ArchiveTree::Kind::folder);
            break;
        case AE_IFLNK: {
            const char* target = archive_entry_symlink_utf8(entry);
            if (!target) {
                target = archive_entry_symlink(entry);
            }
            tree.add(parts, ArchiveTree::Kind::link, target ? target : "");
            break;
        }
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
    WriteArchive writer(archive_write_disk_new(), &archive_write_free);
    // The checks above already refuse all of this; the library refusing it too costs nothing.
    archive_write_disk_set_options(writer.get(),
                                   ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_NO_OVERWRITE | ARCHIVE_EXTRACT_SECURE_SYMLINKS
                                       | ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS);
    if (::chdir(m_dest.c_str()) != 0) {
        throw Failure("Could not open " + quoted(m_dest.string()) + ": " + std::strerror(errno) + ".");
    }
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK || status == ARCHIVE_WARN) {
        const std::vector<std::string> parts = ArchiveTree::split(entryName(entry));
        if (parts.empty() || isForkFolder(parts)) {
            continue;
        }
        fs::path relative;
        for (const std::string& part : parts) {
            relative /= part;
            rememberNew(relative);
        }
        archive_entry_set_pathname(entry, relative.c_str());
        // Plain files of whoever unpacks: no owner from the archive, no set-uid, set-gid or sticky bit.
        archive_entry_set_perm(entry, archive_entry_perm(entry) & 0777);
        archive_entry_set_uid(entry, ::geteuid());
        archive_entry_set_gid(entry, ::getegid());
        const auto failed = [&](archive* where) {
            return Failure("Could not unpack " + quoted(relative.string()) + ": " + writeError(where) + ".");
        };
        if (archive_write_header(writer.get(), entry) < ARCHIVE_WARN) {
            throw failed(writer.get());
        }
        const void* block;
        size_t size;
        la_int64_t offset;
        int read;
        while ((read = archive_read_data_block(reader.get(), &block, &size, &offset)) == ARCHIVE_OK) {
            // Anything short of a whole write fails: libarchive reports a full disk as a mere warning.
            if (archive_write_data_block(writer.get(), block, size, offset) != ARCHIVE_OK) {
                throw failed(writer.get());
            }
        }
        if (read != ARCHIVE_EOF) {
            readFailed(reader.get(), m_archive);
        }
        if (archive_write_finish_entry(writer.get()) != ARCHIVE_OK) {
            throw failed(writer.get());
        }
    }
    if (status != ARCHIVE_EOF) {
        readFailed(reader.get(), m_archive);
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK) {
        throw Failure("Could not finish unpacking: " + writeError(writer.get()) + ".");
    }
}

void ArchiveUnpacker::rememberNew(const fs::path& relative)
{
    std::error_code ec;
    if (fs::symlink_status(m_dest / relative, ec).type() == fs::file_type::not_found) {
        m_created.push_back(m_dest / relative);
    }
}

void ArchiveUnpacker::rollBack()
{
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
        std::error_code ec;
        fs::remove(*it, ec); // a folder that still holds something not ours stays
    }
}
