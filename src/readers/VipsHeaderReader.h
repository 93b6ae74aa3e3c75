#pragma once

#include "files/MediaFacts.h"

// A picture's width and height from its header alone, through libvips; no pixel is decoded.
namespace VipsHeaderReader {

// Starts libvips and loads its modules; before the helper's confinement.
void prepare();
// Blocking; reads the open file `fd`. `source` is "libvips" whether or not the file could be read.
MediaFacts read(int fd);

} // namespace VipsHeaderReader
