#pragma once

#include "PdfRenderer.h"

// Picture encodings of rendered pages, safe to call from several threads at once. Each returns empty
// bytes when encoding fails.
namespace PageEncoder {

// Fast settings: zlib level 1 with the "up" filter is several times quicker than the defaults and
// within a few per cent of their size for rendered pages.
QByteArray png(const PdfRenderer::Raster& raster);
// Baseline JPEG; `quality` is 0...1.
QByteArray jpeg(const PdfRenderer::Raster& raster, double quality);

} // namespace PageEncoder
