#include "ToolArchive.h"

#include "base/Sentence.h"

#include <QFile>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr size_t blockBytes = 64 * 1024;
// Far above any real build of one tool, so that an archive cannot fill the disk.
constexpr la_int64_t maxToolBytes = 1024LL * 1024 * 1024;

struct ArchiveFree
{
    void operator()(archive* handle) const { archive_read_free(handle); }
};

ToolError systemError(int error)
{
    return ToolError{asSentence(QString::fromLocal8Bit(std::strerror(error)))};
}

// The parts of an entry's name, without empty and "." parts; none when the name is absolute or climbs.
std::optional<QStringList> nameParts(const char* name)
{
    if (name == nullptr || *name == '/') {
        return std::nullopt;
    }
    QStringList parts = QString::fromUtf8(name).split(u'/', Qt::SkipEmptyParts);
    parts.removeAll(u"."_s);
    if (parts.contains(u".."_s)) {
        return std::nullopt;
    }
    return parts;
}

// Writes the current entry's data to a new file (sparse entries keep their holes).
Result<void, ToolError> writeEntry(archive* handle, archive_entry* entry, const QString& path,
                                   const std::atomic_bool& stop)
{
    if (archive_entry_size(entry) > maxToolBytes) {
        return ToolError{u"The download was larger than any build of ffmpeg, so nothing was installed."_s};
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0700);
    if (fd < 0) {
        return systemError(errno);
    }
    const auto failWith = [fd](const ToolError& error) {
        ::close(fd);
        return error;
    };
    for (;;) {
        if (stop) {
            return failWith(ToolError::cancellation());
        }
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(handle, &block, &size, &offset);
        if (status == ARCHIVE_EOF) {
            break;
        }
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
            return failWith(ToolError{u"Could not unpack ffmpeg: "_s
                                      + asSentence(QString::fromUtf8(archive_error_string(handle)))});
        }
        if (offset < 0 || offset + static_cast<la_int64_t>(size) > maxToolBytes) {
            return failWith(
                ToolError{u"The download was larger than any build of ffmpeg, so nothing was installed."_s});
        }
        if (::pwrite(fd, block, size, offset) != static_cast<ssize_t>(size)) {
            return failWith(systemError(errno));
        }
    }
    if (::ftruncate(fd, archive_entry_size(entry)) != 0 || ::close(fd) != 0) {
        return systemError(errno);
    }
    return {};
}

} // namespace

namespace ToolArchive {

Result<void, ToolError> unpack(const QString& archivePath, const QString& folder, const QStringList& tools,
                               const std::atomic_bool& stop)
{
    const std::unique_ptr<archive, ArchiveFree> handle(archive_read_new());
    archive_read_support_filter_xz(handle.get());
    archive_read_support_format_tar(handle.get());
    const auto unreadable = [&handle] {
        return ToolError{u"Could not unpack ffmpeg: "_s
                         + asSentence(QString::fromUtf8(archive_error_string(handle.get())))};
    };
    if (archive_read_open_filename(handle.get(), QFile::encodeName(archivePath).constData(), blockBytes)
        != ARCHIVE_OK) {
        return unreadable();
    }
    const ToolError badLayout{u"The download was not laid out like an ffmpeg build, so nothing was installed."_s};
    QString top;
    QStringList taken;
    for (;;) {
        if (stop) {
            return ToolError::cancellation();
        }
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(handle.get(), &entry);
        if (status == ARCHIVE_EOF) {
            break;
        }
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
            return unreadable();
        }
        const std::optional<QStringList> parts = nameParts(archive_entry_pathname(entry));
        if (!parts) {
            return ToolError{u"The download held names outside its folder, so nothing was installed."_s};
        }
        // "<top folder>/bin/<tool>"; everything else is skipped without being written.
        if (parts->size() != 3 || parts->at(1) != u"bin"_s || !tools.contains(parts->at(2))) {
            continue;
        }
        const QString& tool = parts->at(2);
        if (archive_entry_filetype(entry) != AE_IFREG || archive_entry_hardlink(entry) != nullptr) {
            return ToolError{u"The downloaded "_s + tool + u" was not a plain file, so nothing was installed."_s};
        }
        if (taken.contains(tool) || (!top.isEmpty() && top != parts->at(0))) {
            return badLayout;
        }
        top = parts->at(0);
        if (Result<void, ToolError> written = writeEntry(handle.get(), entry, folder + u'/' + tool, stop);
            !written.ok()) {
            return written;
        }
        taken << tool;
    }
    for (const QString& tool : tools) {
        if (!taken.contains(tool)) {
            return ToolError{u"The download did not contain "_s + tool + u'.'};
        }
    }
    return {};
}

} // namespace ToolArchive
