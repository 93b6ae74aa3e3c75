#pragma once

#include "files/MediaFacts.h"

// A PDF's page count, through qpdf: the engine the PDF actions use, so a file they cannot open shows no
// count either.
namespace PdfPageReader {

// Counting stops after this long or this many page-tree nodes: a hostile file gets no count, in seconds.
inline constexpr int timeLimitMs = 5000;
inline constexpr int maxNodes = 1'000'000;
// The most pages the PDF jobs take; a longer document gets no count, as they would refuse it.
inline constexpr int maxPages = 100'000;

// Blocking; reads the open file `fd`. No count when the document cannot be opened (a password, damage)
// or when its page tree meets a node of its own twice, which would make the tree endless.
// `source` is "qpdf" whether or not the document opened.
MediaFacts read(int fd);

} // namespace PdfPageReader
