#pragma once

#include "files/MediaFacts.h"

#include <QString>

// Media facts read in-process with FFmpeg's libavformat, for when the ffprobe tool is not installed:
// duration, the first video stream's size, frame rate, bit rate and codec, the first audio stream's codec.
namespace AvFormatReader {

// Reading stops after this long, so a file that makes the demuxer spin cannot hold a worker thread.
inline constexpr int timeLimitMs = 10000;

// Blocking; `source` is "libavformat" whether or not the file could be read.
MediaFacts read(const QString& path);

} // namespace AvFormatReader
