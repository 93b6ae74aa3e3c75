#pragma once

#include "files/MediaFacts.h"

#include <QString>

// A picture's width and height from its header alone, through libvips; no pixel is decoded.
namespace VipsHeaderReader {

// Blocking; `source` is "libvips" whether or not the file could be read.
MediaFacts read(const QString& path);

} // namespace VipsHeaderReader
