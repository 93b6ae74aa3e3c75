#pragma once

#include "files/MediaFacts.h"

// Media facts read with FFmpeg's libavformat, exactly as ffprobe's `-show_format -show_streams` states
// them: duration and bit rate of the container, the first video stream's size, codec and average frame
// rate, the first audio stream's codec and sample rate; cover art is not a video stream.
namespace AvFormatReader {

// Reading stops after this long, so a file that makes the demuxer spin cannot hold the helper.
inline constexpr int timeLimitMs = 10000;

// Loads what the library loads on first use; before the helper's confinement.
void prepare();
// Blocking; reads the open file `fd` from its start and opens nothing else. Formats that are lists of
// other files (playlists, concatenation lists) are refused. `source` is "libavformat" whether or not the
// file could be read.
MediaFacts read(int fd);

} // namespace AvFormatReader
