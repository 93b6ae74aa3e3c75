#include "TestMedia.h"

#include "TestFiles.h"
#include "base/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

const QString ffmpeg = u"/usr/bin/ffmpeg"_s;

bool runFFmpeg(const QStringList& args)
{
    return TestFiles::runTool(ffmpeg, QStringList{u"-v"_s, u"error"_s, u"-y"_s} + args);
}

QStringList lavfi(const QString& graph)
{
    return {u"-f"_s, u"lavfi"_s, u"-i"_s, graph};
}

} // namespace

namespace TestMedia {

bool videoMp4(const QString& path)
{
    return runFFmpeg(lavfi(u"testsrc=size=320x240:rate=25"_s) + lavfi(u"sine=frequency=440:sample_rate=44100"_s)
                     + QStringList{u"-t"_s, u"2"_s, u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s, u"-c:a"_s,
                                   u"aac"_s, path});
}

bool mp3WithCover(const QString& path)
{
    const QString cover = path + u".cover.png"_s;
    const bool ok = runFFmpeg(lavfi(u"color=red:size=64x64"_s) + QStringList{u"-frames:v"_s, u"1"_s, cover})
        && runFFmpeg(lavfi(u"sine=frequency=440:sample_rate=44100"_s)
                     + QStringList{u"-i"_s, cover, u"-t"_s, u"2"_s, u"-map"_s, u"0:a"_s, u"-map"_s, u"1:v"_s, u"-c:a"_s,
                                   u"libmp3lame"_s, u"-c:v"_s, u"png"_s, u"-disposition:v"_s, u"attached_pic"_s,
                                   u"-id3v2_version"_s, u"3"_s, path});
    QFile::remove(cover);
    return ok;
}

bool twoAudioTracks(const QString& path)
{
    return runFFmpeg(lavfi(u"sine=frequency=440:sample_rate=48000"_s) + lavfi(u"sine=frequency=880:sample_rate=22050"_s)
                     + QStringList{u"-t"_s, u"1"_s, u"-map"_s, u"0:a"_s, u"-map"_s, u"1:a"_s, u"-c:a:0"_s, u"flac"_s,
                                   u"-c:a:1"_s, u"aac"_s, u"-f"_s, u"matroska"_s, path});
}

bool wav(const QString& path)
{
    return runFFmpeg(lavfi(u"sine=frequency=440:sample_rate=44100"_s) + QStringList{u"-t"_s, u"1"_s, path});
}

bool unknownFrameRate(const QString& path)
{
    return runFFmpeg(lavfi(u"testsrc=size=64x48:rate=25"_s)
                     + QStringList{u"-frames:v"_s, u"1"_s, u"-c:v"_s, u"mpeg2video"_s, u"-f"_s, u"mpeg"_s, path});
}

bool picture(const QString& path, int width, int height)
{
    // libvips writes every format here but BMP, which ffmpeg writes.
    if (QFileInfo(path).suffix().toLower() == u"bmp"_s) {
        return runFFmpeg(lavfi(u"color=black:size=%1x%2"_s.arg(width).arg(height))
                         + QStringList{u"-frames:v"_s, u"1"_s, path});
    }
    const QString png = path + u".black.v"_s;
    const bool ok
        = TestFiles::runTool(u"/usr/bin/vips"_s, {u"black"_s, png, QString::number(width), QString::number(height)})
        && TestFiles::runTool(u"/usr/bin/vips"_s, {u"copy"_s, png, path});
    QFile::remove(png);
    return ok;
}

bool pdf(const QString& path, int pages)
{
    QTemporaryDir dir;
    const QString page = dir.filePath(u"page.pdf"_s);
    if (!picture(dir.filePath(u"page.png"_s), 40, 60)
        || !TestFiles::runTool(u"/usr/bin/img2pdf"_s, {dir.filePath(u"page.png"_s), u"-o"_s, page})) {
        return false;
    }
    QStringList args{u"--empty"_s, u"--pages"_s};
    for (int i = 0; i < pages; ++i) {
        args << page;
    }
    args << u"--"_s << path;
    return TestFiles::runTool(u"/usr/bin/qpdf"_s, args);
}

bool installTool(const QString& name)
{
    const QString link = AppPaths::binDir() + u'/' + name;
    QFile::remove(link);
    return QDir().mkpath(AppPaths::binDir()) && QFile::link(u"/usr/bin/"_s + name, link);
}

} // namespace TestMedia
