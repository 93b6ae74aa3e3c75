#pragma once

#include <QByteArray>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <functional>
#include <memory>

// Rasterises the pages of one PDF. Pages are rendered and encoded on worker threads, a few at a time, and
// handed back in page order, so memory stays bounded by the pages in flight, never the whole document.
class PdfRenderer
{
public:
    // 8-bit RGB rows of one rendered page, on white.
    struct Raster
    {
        const unsigned char* rgb = nullptr;
        int width = 0;
        int height = 0;
        qsizetype stride = 0;
    };
    // One page's result; `encoded` is empty when the page could not be rendered or encoded.
    struct Page
    {
        int index = 0;
        QSizeF points; // the visible page in points, rotation applied
        QSize pixels; // the size it was rendered at
        QByteArray encoded;
    };
    using Encoder = std::function<QByteArray(const Raster&)>; // called on worker threads
    using Sink = std::function<bool(const Page&)>; // called on the calling thread; false stops

    virtual ~PdfRenderer() = default;

    // Null when the file cannot be read as a PDF (not a PDF, damaged beyond repair, or locked by a password).
    static std::unique_ptr<PdfRenderer> open(const QString& path);

    virtual int pageCount() const = 0;
    // Renders every page at `scale` pixels per point (width and height truncated, at least 1), passes it
    // to `encode`, and gives the results to `sink` in page order. Returns false when the sink stopped it.
    virtual bool renderPages(double scale, const Encoder& encode, const Sink& sink) = 0;
    // Writes the document as this renderer reads it to a new file at `path`: a damaged file that the
    // renderer repaired becomes one that other PDF libraries read too. False when that fails.
    virtual bool saveRepaired(const QString& path) = 0;
};
