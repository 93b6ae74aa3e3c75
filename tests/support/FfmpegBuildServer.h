#pragma once

#include "LocalHttpServer.h"

// Plays the release folder of the ffmpeg builds: one tar.xz of Debian's ffmpeg and ffprobe under
// "<top folder>/bin/", and the "checksums.sha256" list beside it with a line for it and one for another
// platform's archive. The environment variable TRELLICK_FFMPEG_SERVER points the application at it for as
// long as it lives (one at a time).
class FfmpegBuildServer
{
public:
    FfmpegBuildServer();
    ~FfmpegBuildServer();

    // One entry of a made archive: a copy of a file, or a symbolic link when `linkTo` is set.
    struct Entry
    {
        QString name;
        QString source;
        QString linkTo;
    };

    LocalHttpServer& http() { return m_http; }
    // The archive's path on the server, "/ffmpeg-...tar.xz".
    static QString archivePath();
    void route(const QString& path, const LocalHttpServer::Reply& reply);
    // Serves an archive (the usual one when empty) with its checksum list.
    void serve(const QByteArray& archive = {});

    // The usual archive, made at first use from /usr/bin.
    static QByteArray archive();
    // A tar.xz holding exactly the given entries, names as given (absolute and ".." ones included).
    static QByteArray makeArchive(const QList<Entry>& entries);
    static QByteArray checksumLine(const QByteArray& data, const QString& name);

private:
    LocalHttpServer m_http;
};
