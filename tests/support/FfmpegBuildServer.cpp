#include "FfmpegBuildServer.h"

#include "exec/ToolInstaller.h"

#include <QCryptographicHash>
#include <QFile>
#include <archive.h>
#include <archive_entry.h>

using namespace Qt::StringLiterals;

FfmpegBuildServer::FfmpegBuildServer()
{
    qputenv("TRELLICK_FFMPEG_SERVER", m_http.url().toString().toUtf8() + '/');
}

FfmpegBuildServer::~FfmpegBuildServer()
{
    qunsetenv("TRELLICK_FFMPEG_SERVER");
}

QString FfmpegBuildServer::archivePath()
{
    return u'/' + ToolInstaller::archiveName();
}

void FfmpegBuildServer::route(const QString& path, const LocalHttpServer::Reply& reply)
{
    m_http.route(path.toUtf8(), reply);
}

void FfmpegBuildServer::serve(const QByteArray& made)
{
    const QByteArray bytes = made.isEmpty() ? archive() : made;
    route(archivePath(), LocalHttpServer::Reply::bytes(bytes));
    route(u"/checksums.sha256"_s,
          LocalHttpServer::Reply::text(checksumLine("another platform", u"ffmpeg-master-latest-win64-gpl.zip"_s)
                                       + checksumLine(bytes, ToolInstaller::archiveName())));
}

QByteArray FfmpegBuildServer::archive()
{
    static const QByteArray made = makeArchive({
        {u"ffmpeg-build/bin/ffmpeg"_s, u"/usr/bin/ffmpeg"_s, {}},
        {u"ffmpeg-build/bin/ffprobe"_s, u"/usr/bin/ffprobe"_s, {}},
        {u"ffmpeg-build/LICENSE.txt"_s, u"/etc/hostname"_s, {}},
    });
    return made;
}

QByteArray FfmpegBuildServer::makeArchive(const QList<Entry>& entries)
{
    QByteArray out;
    ::archive* writer = archive_write_new();
    archive_write_add_filter_xz(writer);
    archive_write_set_format_pax_restricted(writer);
    archive_write_open(
        writer, &out, nullptr,
        [](::archive*, void* data, const void* buffer, size_t length) -> la_ssize_t {
            static_cast<QByteArray*>(data)->append(static_cast<const char*>(buffer), qsizetype(length));
            return la_ssize_t(length);
        },
        nullptr);
    for (const Entry& item : entries) {
        QFile source(item.source);
        const QByteArray data
            = item.linkTo.isEmpty() && source.open(QIODevice::ReadOnly) ? source.readAll() : QByteArray();
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, item.name.toUtf8().constData());
        archive_entry_set_perm(entry, 0755);
        if (item.linkTo.isEmpty()) {
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, data.size());
        } else {
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, item.linkTo.toUtf8().constData());
        }
        archive_write_header(writer, entry);
        archive_write_data(writer, data.constData(), size_t(data.size()));
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    return out;
}

QByteArray FfmpegBuildServer::checksumLine(const QByteArray& data, const QString& name)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex() + "  " + name.toUtf8() + '\n';
}
