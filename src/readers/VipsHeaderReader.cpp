// GLib names a struct member "signals", which Qt defines as a keyword: libvips (on GLib) comes first.
// clang-format off
#include <gmodule.h>
#include <vips/vips.h>
// clang-format on

#include "VipsHeaderReader.h"

#include "platform/FdChannel.h"

#include <QtEndian>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>

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
    std::call_once(once, [] {
        // libvips would load every module it has, for ImageMagick, poppler, OpenSlide and JPEG XL
        // among them, which takes much of the worker's start and opens formats the reader never
        // uses. It looks for them under VIPSHOME: pointed where there are none, only HEIF is loaded, by hand.
        qputenv("VIPSHOME", "/nonexistent");
        ok = VIPS_INIT("trellick") == 0;
        qunsetenv("VIPSHOME");
        if (ok) {
            // Kept for the life of the process, as libvips keeps its own. Absent when HEIF is built in.
            g_module_open(TRELLICK_VIPS_MODULES "/vips-heif.so", G_MODULE_BIND_LAZY);
        }
    });
    return ok;
}

// A BMP file's size from its info header (the old 12-byte form or any later one); libvips reads BMP only
// through ImageMagick, a large guesser of formats that has no place beside a hostile file.
std::optional<std::pair<int, int>> bmpSize(const QByteArray& head)
{
    if (head.size() < 26 || !head.startsWith("BM")) {
        return std::nullopt;
    }
    const auto bytes = reinterpret_cast<const uchar*>(head.constData());
    const quint32 infoSize = qFromLittleEndian<quint32>(bytes + 14);
    qint64 width = 0;
    qint64 height = 0;
    if (infoSize == 12) {
        width = qFromLittleEndian<quint16>(bytes + 18);
        height = qFromLittleEndian<quint16>(bytes + 20);
    } else if (infoSize >= 40) {
        width = qFromLittleEndian<qint32>(bytes + 18);
        height = qAbs(qint64(qFromLittleEndian<qint32>(bytes + 22))); // negative: stored top row first
    }
    if (width <= 0 || height <= 0 || width > std::numeric_limits<int>::max()
        || height > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return std::pair(int(width), int(height));
}

} // namespace

namespace VipsHeaderReader {

void prepare()
{
    started();
}

MediaFacts read(int fd)
{
    MediaFacts facts;
    facts.source = u"libvips"_s;
    QByteArray head(26, Qt::Uninitialized);
    head.resize(std::max<qint64>(Descriptor::readAt(fd, head.data(), head.size(), 0), 0));
    if (const std::optional<std::pair<int, int>> size = bmpSize(head)) {
        facts.width = size->first;
        facts.height = size->second;
        return facts;
    }
    const SourceLoader loader = loaderFor(head);
    if (!loader || !started()) {
        return facts;
    }
    VipsImage* raw = nullptr;
    const Ref<VipsSource> source(vips_source_new_from_descriptor(fd));
    if (source && loader(source.get(), &raw, nullptr) == 0) {
        const Ref<VipsImage> image(raw);
        facts.width = vips_image_get_width(image.get());
        facts.height = vips_image_get_height(image.get());
    }
    vips_error_clear();
    return facts;
}

} // namespace VipsHeaderReader
