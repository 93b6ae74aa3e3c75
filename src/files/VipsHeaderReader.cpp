// GLib names a struct member "signals", which Qt defines as a keyword: libvips (on GLib) comes first.
#include <vips/vips.h>

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

// The loaders of the picture formats the application offers. Everything else libvips can read (SVG, PDF,
// FITS, Matlab, ...) stays closed, because the file's content, not its name, picks the loader.
const QList<QByteArray> allowedLoaders = {"VipsForeignLoadJpegSource", "VipsForeignLoadPngSource",
                                          "VipsForeignLoadHeifSource", "VipsForeignLoadWebpSource",
                                          "VipsForeignLoadTiffSource", "VipsForeignLoadNsgifSource"};

bool started()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = VIPS_INIT("trellick") == 0; });
    return ok;
}

// libvips reads BMP only through ImageMagick, which guesses the format from the content on its own;
// it is given only files that really start with a BMP signature.
bool isBmp(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "BM";
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
    const QByteArray name = QFile::encodeName(path);
    // A source, not a file name: libvips would read "[...]" in a file name as load options.
    const Ref<VipsSource> source(vips_source_new_from_file(name.constData()));
    if (source) {
        const char* loader = vips_foreign_find_load_source(source.get());
        if (loader && allowedLoaders.contains(QByteArray(loader))) {
            const Ref<VipsImage> image(
                vips_image_new_from_source(source.get(), "", "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
            if (image) {
                takeSize(image.get(), facts);
            }
        } else if (isBmp(path)) {
            VipsImage* raw = nullptr;
            if (vips_magickload(name.constData(), &raw, nullptr) == 0) {
                takeSize(Ref<VipsImage>(raw).get(), facts);
            }
        }
    }
    vips_error_clear();
    return facts;
}

} // namespace VipsHeaderReader
