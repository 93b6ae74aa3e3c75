#pragma once

#include <QString>

// Real media made at test time with Debian's ffmpeg, libvips, img2pdf and qpdf. Each maker writes `path`
// and returns whether the tool succeeded.
namespace TestMedia {

// 2 s of H.264 320×240 at 25 fps with AAC at 44.1 kHz, in MP4.
bool videoMp4(const QString& path);
// 2 s of MP3 at 44.1 kHz with a PNG cover picture (a video stream marked as attached picture).
bool mp3WithCover(const QString& path);
// Matroska audio with two tracks: FLAC at 48 kHz first, then AAC at 22.05 kHz.
bool twoAudioTracks(const QString& path);
// 1 s of 16-bit PCM at 44.1 kHz.
bool wav(const QString& path);
// One MPEG-2 frame in an MPEG program stream: ffprobe reports its average frame rate as 0/0.
bool unknownFrameRate(const QString& path);
// A black picture in the format named by the extension (jpg, png, heic, webp, tif, gif, bmp).
bool picture(const QString& path, int width, int height);
// A PDF with `pages` pages.
bool pdf(const QString& path, int pages);

// Links Debian's ffmpeg or ffprobe into the application's tools folder (under XDG_DATA_HOME), made if missing.
bool installTool(const QString& name);

} // namespace TestMedia
