#include "FfmpegBuildServer.h"

#include "TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>

using namespace Qt::StringLiterals;

FfmpegBuildServer::FfmpegBuildServer()
{
    qputenv("TRELLICK_FFMPEG_SERVER", baseUrl().toUtf8());
}

FfmpegBuildServer::~FfmpegBuildServer()
{
    qunsetenv("TRELLICK_FFMPEG_SERVER");
}

QString FfmpegBuildServer::baseUrl() const
{
    return m_http.url().toString();
}

void FfmpegBuildServer::route(const QString& path, const LocalHttpServer::Reply& reply)
{
    m_http.route(path.toUtf8(), reply);
}

void FfmpegBuildServer::redirect(const QString& path, const QString& target)
{
    route(path, LocalHttpServer::Reply::redirect(target.toUtf8()));
}

bool FfmpegBuildServer::requested(const QString& path) const
{
    return !m_http.requests(path.toUtf8()).isEmpty();
}

void FfmpegBuildServer::serveBoth(const QString& folder)
{
    for (const QString& tool : {u"ffmpeg"_s, u"ffprobe"_s}) {
        serve(folder, tool, zipOf(tool));
    }
}

void FfmpegBuildServer::serve(const QString& folder, const QString& tool, const QByteArray& zip)
{
    route(folder + tool + u".zip"_s, LocalHttpServer::Reply::bytes(zip));
    route(folder + tool + u".zip.sha256"_s, LocalHttpServer::Reply::text(checksumLine(zip, tool + u".zip"_s)));
}

QByteArray FfmpegBuildServer::zipOf(const QString& tool)
{
    static QHash<QString, QByteArray> made;
    if (!made.contains(tool)) {
        made.insert(tool, makeZip({{u"/usr/bin/"_s + tool, tool}}));
    }
    return made.value(tool);
}

QByteArray FfmpegBuildServer::makeZip(const QList<QPair<QString, QString>>& entries)
{
    QTemporaryDir staging;
    QStringList args{u"-q"_s, u"-r"_s, staging.path() + u"/out.zip"_s};
    for (const auto& [source, inner] : entries) {
        const QString target = staging.path() + u"/in/"_s + inner;
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(source, target);
        args << inner;
    }
    QProcess zip;
    zip.setWorkingDirectory(staging.path() + u"/in"_s);
    zip.start(u"/usr/bin/zip"_s, args);
    if (!zip.waitForFinished(60000) || zip.exitCode() != 0) {
        qWarning("zip failed: %s", zip.readAllStandardError().constData());
    }
    QFile file(staging.path() + u"/out.zip"_s);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QByteArray FfmpegBuildServer::checksumLine(const QByteArray& data, const QString& name)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex() + "  " + name.toUtf8() + '\n';
}
