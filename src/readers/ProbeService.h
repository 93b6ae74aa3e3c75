#pragma once

#include "files/FileKind.h"
#include "files/MediaFacts.h"

#include <QString>
#include <optional>

// Reads a few technical facts about a file with the best reader for its kind: the installed ffprobe for
// video and audio (libavformat in-process when ffprobe is missing or fails), libvips for pictures and
// Qt PDF for PDFs. Probing never fails; what cannot be read is simply absent.
namespace ProbeService {

// Reads the facts in this process, blocking: for the probe helper and command-line tools only (the
// window probes through ProbeHelper).
MediaFacts probeNow(const QString& path, FileKind kind);

// Runs AppPaths::binDir()/ffprobe on the file; absent when it is not installed, fails, times out or
// prints something that is not a JSON object.
std::optional<MediaFacts> viaFFprobe(const QString& path);
// The facts in ffprobe's `-show_format -show_streams -of json` output; absent when it is not a JSON object.
std::optional<MediaFacts> parseFFprobe(const QString& json);

} // namespace ProbeService
