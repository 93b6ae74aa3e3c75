#include "FileKind.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace {

using namespace Qt::StringLiterals;

const QStringList videoExt = {u"mp4"_s, u"mov"_s, u"m4v"_s,  u"mkv"_s, u"webm"_s, u"avi"_s, u"flv"_s,
                              u"wmv"_s, u"mpg"_s, u"mpeg"_s, u"3gp"_s, u"mts"_s,  u"m2ts"_s};
const QStringList audioExt
    = {u"mp3"_s, u"m4a"_s, u"wav"_s, u"flac"_s, u"aac"_s, u"ogg"_s, u"opus"_s, u"aiff"_s, u"aif"_s, u"caf"_s, u"wma"_s};
const QStringList imageExt
    = {u"jpg"_s, u"jpeg"_s, u"png"_s, u"heic"_s, u"heif"_s, u"webp"_s, u"gif"_s, u"tiff"_s, u"tif"_s, u"bmp"_s};
const QStringList archiveExt = {u"zip"_s, u"tar"_s, u"gz"_s, u"tgz"_s, u"bz2"_s, u"xz"_s, u"7z"_s, u"rar"_s};
const QStringList extractableEndings = {u".zip"_s, u".tar"_s, u".tar.gz"_s, u".tgz"_s, u".tar.bz2"_s, u".tar.xz"_s};

// MIME types that stand for archives; subtypes (compressed tar, for example) inherit from them.
const QStringList archiveMimes
    = {u"application/zip"_s,    u"application/x-tar"_s,           u"application/gzip"_s,    u"application/x-bzip2"_s,
       u"application/x-xz"_s,   u"application/x-7z-compressed"_s, u"application/vnd.rar"_s, u"application/x-archive"_s,
       u"application/x-cpio"_s, u"application/x-zstd"_s};

bool conformsToFamily(const QMimeType& mime, const QString& prefix)
{
    if (mime.name().startsWith(prefix)) {
        return true;
    }
    const QStringList ancestors = mime.allAncestors();
    return std::any_of(ancestors.begin(), ancestors.end(), [&](const QString& a) { return a.startsWith(prefix); });
}

FileKind kindOfContent(const QMimeType& mime)
{
    if (mime.inherits(u"application/pdf"_s)) {
        return FileKind::pdf;
    }
    if (conformsToFamily(mime, u"video/"_s)) {
        return FileKind::video;
    }
    if (conformsToFamily(mime, u"audio/"_s)) {
        return FileKind::audio;
    }
    if (conformsToFamily(mime, u"image/"_s)) {
        return FileKind::image;
    }
    if (std::any_of(archiveMimes.begin(), archiveMimes.end(), [&](const QString& a) { return mime.inherits(a); })) {
        return FileKind::archive;
    }
    return FileKind::other;
}

} // namespace

namespace FileKinds {

FileKind detect(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        return FileKind::folder;
    }
    const QString ext = info.suffix().toLower();
    if (ext == u"pdf"_s) {
        return FileKind::pdf;
    }
    if (videoExt.contains(ext)) {
        return FileKind::video;
    }
    if (audioExt.contains(ext)) {
        return FileKind::audio;
    }
    if (imageExt.contains(ext)) {
        return FileKind::image;
    }
    if (archiveExt.contains(ext)) {
        return FileKind::archive;
    }
    // A file that cannot be read has no content type; the generic fallback type is no content type either.
    if (!info.isFile() || !info.isReadable()) {
        return FileKind::other;
    }
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info);
    if (!mime.isValid() || mime.isDefault()) {
        return FileKind::other;
    }
    return kindOfContent(mime);
}

FileKind detect(const QList<QString>& paths)
{
    if (paths.isEmpty()) {
        return FileKind::other;
    }
    const FileKind first = detect(paths.first());
    for (qsizetype i = 1; i < paths.size(); ++i) {
        if (detect(paths.at(i)) != first) {
            return FileKind::other;
        }
    }
    return first;
}

QString word(FileKind kind)
{
    switch (kind) {
    case FileKind::video:
        return u"Video"_s;
    case FileKind::audio:
        return u"Audio"_s;
    case FileKind::image:
        return u"Image"_s;
    case FileKind::pdf:
        return u"PDF document"_s;
    case FileKind::archive:
        return u"Archive"_s;
    case FileKind::folder:
        return u"Folder"_s;
    case FileKind::other:
        break;
    }
    return u"File"_s;
}

bool isExtractable(const QString& path)
{
    const QString name = QFileInfo(path).fileName().toLower();
    return std::any_of(extractableEndings.begin(), extractableEndings.end(),
                       [&](const QString& ending) { return name.endsWith(ending); });
}

} // namespace FileKinds
