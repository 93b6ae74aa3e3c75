// GLib names a struct member "signals", which Qt defines as a keyword: libvips (on GLib) comes first.
// clang-format off
#include <vips/vips.h>
// clang-format on

#include "VipsHeaderReader.h"

#include <QFile>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

struct Unref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;

using SourceLoader = int (*)(VipsSource*, VipsImage**, ...);

// The picture formats the application offers, told apart by their first bytes; the loader then checks
// the rest. Everything else libvips can read (SVG, PDF, FITS, Matlab, ...) stays closed, because the
// file's content, not its name, would pick the loader. libvips's own sniffing is not used: for a large
// file of zeros one of its loaders reads the whole file looking for the end of a first text line.
SourceLoader loaderFor(const QByteArray& head)
{
    if (head.startsWith("\xff\xd8\xff")) {
        return vips_jpegload_source;
    }
    if (head.startsWith("\x89PNG\r\n\x1a\n")) {
        return vips_pngload_source;
    }
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) {
        return vips_gifload_source;
    }
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP") {
        return vips_webpload_source;
    }
    // Classic and big TIFF, in both byte orders; the signatures hold NUL bytes, hence the explicit lengths.
    for (const char* tiff : {"II*\0", "MM\0*", "II+\0", "MM\0+"}) {
        if (head.startsWith(QByteArrayView(tiff, 4))) {
            return vips_tiffload_source;
        }
    }
    if (head.mid(4, 4) == "ftyp") { // an ISO media file; libheif refuses those that hold no picture
        return vips_heifload_source;
    }
    return nullptr;
}

bool started()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = VIPS_INIT("trellick") == 0; });
    return ok;
}

void takeSize(VipsImage* image, MediaFacts& facts)
{
    facts.width = vips_image_get_width(image);
    facts.height = vips_image_get_height(image);
}

} // namespace

namespace VipsHeaderReader {

MediaFacts read(const QString& path)
{
    MediaFacts facts;
    facts.source = u"libvips"_s;
    if (!started()) {
        return facts;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return facts;
    }
    const QByteArray head = file.read(12);
    const QByteArray name = QFile::encodeName(path);
    VipsImage* raw = nullptr;
    if (const SourceLoader loader = loaderFor(head)) {
        // A source, not a file name: libvips would read "[...]" in a file name as load options.
        const Ref<VipsSource> source(vips_source_new_from_file(name.constData()));
        if (source && loader(source.get(), &raw, nullptr) == 0) {
            takeSize(Ref<VipsImage>(raw).get(), facts);
        }
    } else if (head.startsWith("BM")) {
        // libvips reads BMP only through ImageMagick, which guesses formats on its own; it gets only files
        // that start with the BMP signature.
        if (vips_magickload(name.constData(), &raw, nullptr) == 0) {
            takeSize(Ref<VipsImage>(raw).get(), facts);
        }
    }
    vips_error_clear();
    return facts;
}

} // namespace VipsHeaderReader
