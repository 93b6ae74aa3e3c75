#pragma once

#include "LocalHttpServer.h"

#include <QTemporaryDir>

// Plays the ffmpeg build server: zip archives of Debian's ffmpeg and ffprobe, made once, each with the
// usual checksum file ("sum  name") beside it. The environment variable TRELLICK_FFMPEG_SERVER points the
// application at it for as long as it lives (one at a time).
class FfmpegBuildServer
{
public:
    FfmpegBuildServer();
    ~FfmpegBuildServer();

    LocalHttpServer& http() { return m_http; }
    // "http://127.0.0.1:PORT", without a final slash.
    QString baseUrl() const;
    void route(const QString& path, const LocalHttpServer::Reply& reply);
    void redirect(const QString& path, const QString& target);
    bool requested(const QString& path) const;
    // Serves both tools under a folder path such as "/download/linux/amd64/1789931890_9.0.2/".
    void serveBoth(const QString& folder);
    // Serves one archive and its checksum under a folder path.
    void serve(const QString& folder, const QString& tool, const QByteArray& zip);

    // The archives, made at first use from /usr/bin.
    static QByteArray zipOf(const QString& tool);
    // A zip holding the given files (source path, name inside the archive).
    static QByteArray makeZip(const QList<QPair<QString, QString>>& entries);
    static QByteArray checksumLine(const QByteArray& data, const QString& name);

private:
    LocalHttpServer m_http;
};
