#pragma once

#include "files/MediaFacts.h"

#include <QString>

// A PDF's page count, through Qt PDF.
namespace PdfPageReader {

// Blocking; `source` is "Qt PDF" whether or not the document opened.
MediaFacts read(const QString& path);

} // namespace PdfPageReader
