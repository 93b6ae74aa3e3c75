#include "ImageRecoder.h"

#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <qpdf/Pipeline.hh>
#include <string>
#include <unordered_set>
#include <vips/vips.h>
#include <zlib.h>

namespace {

// Pictures that would decode to more pixels than this are left alone: memory stays bounded whatever a
// file claims.
constexpr double maxPixels = 100e6;
// Scaling a picture down by less than this costs a lossy round for little gain.
constexpr double worthScaling = 0.9;
// More distinct colours (or grey levels) than this make a picture a photograph.
constexpr size_t lineArtColours = 256;
constexpr size_t lineArtGreys = 128;

bool vipsReady()
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        ready = VIPS_INIT("trellick") == 0;
        if (ready) {
            vips_cache_set_max(0); // every picture is read once: caching would only hold memory
        }
    });
    return ready;
}

struct Unref
{
    void operator()(VipsImage* image) const { g_object_unref(image); }
};
using Image = std::unique_ptr<VipsImage, Unref>;

struct GFree
{
    void operator()(void* data) const { g_free(data); }
};

// Colour components of the colour spaces whose samples can be scaled as they are; 0 for any other.
int componentsOf(QPDFObjectHandle space, bool softMask)
{
    if (space.isNull() && softMask) {
        return 1;
    }
    if (space.isNameAndEquals("/DeviceGray")) {
        return 1;
    }
    if (space.isNameAndEquals("/DeviceRGB")) {
        return 3;
    }
    if (!space.isArray() || space.getArrayNItems() != 2) {
        return 0;
    }
    QPDFObjectHandle family = space.getArrayItem(0);
    QPDFObjectHandle parameters = space.getArrayItem(1);
    if (family.isNameAndEquals("/CalGray")) {
        return 1;
    }
    if (family.isNameAndEquals("/CalRGB")) {
        return 3;
    }
    if (family.isNameAndEquals("/ICCBased") && parameters.isStream()) {
        QPDFObjectHandle n = parameters.getDict().getKey("/N");
        const long long components = n.isInteger() ? n.getIntValue() : 0;
        return components == 1 || components == 3 ? int(components) : 0;
    }
    return 0;
}

// An absent decode array, or one that spells out the default.
bool plainDecode(QPDFObjectHandle decode, int components)
{
    if (decode.isNull()) {
        return true;
    }
    if (!decode.isArray() || decode.getArrayNItems() != 2 * components) {
        return false;
    }
    for (int i = 0; i < 2 * components; ++i) {
        double value = -1;
        if (!decode.getArrayItem(i).getValueAsNumber(value) || value != double(i % 2)) {
            return false;
        }
    }
    return true;
}

enum class Coding {
    jpeg,
    lossless,
    other,
};

Coding codingOf(QPDFObjectHandle dict)
{
    QPDFObjectHandle filter = dict.getKey("/Filter");
    if (filter.isArray() && filter.getArrayNItems() == 1) {
        filter = filter.getArrayItem(0);
    }
    if (filter.isNameAndEquals("/DCTDecode")) {
        // Parameters could say the colours are not transformed as JPEG files usually are.
        return dict.getKey("/DecodeParms").isNull() ? Coding::jpeg : Coding::other;
    }
    const auto lossless = [](QPDFObjectHandle name) {
        for (const char* known :
             {"/FlateDecode", "/LZWDecode", "/RunLengthDecode", "/ASCII85Decode", "/ASCIIHexDecode"}) {
            if (name.isNameAndEquals(known)) {
                return true;
            }
        }
        return false;
    };
    if (filter.isNull() || lossless(filter)) {
        return Coding::lossless;
    }
    if (!filter.isArray()) {
        return Coding::other;
    }
    for (QPDFObjectHandle item : filter.aitems()) {
        if (!lossless(item)) {
            return Coding::other;
        }
    }
    return Coding::lossless;
}

// Collects decoded stream data, refusing more than the picture can hold.
class Bounded : public Pipeline
{
public:
    explicit Bounded(size_t limit)
        : Pipeline("decoded picture", nullptr)
        , m_limit(limit)
    {
    }

    void write(unsigned char const* data, size_t length) override
    {
        if (length > m_limit - std::min(m_limit, bytes.size())) {
            throw std::length_error("more picture data than its size holds");
        }
        bytes.append(reinterpret_cast<const char*>(data), length);
    }
    void finish() override { }

    std::string bytes;

private:
    size_t m_limit;
};

// Samples of 1, 2, 4, 8 or 16 bits, rows padded to whole bytes, as 8-bit samples.
std::string toEightBits(const std::string& packed, int width, int height, int components, int bits)
{
    const size_t samples = size_t(width) * size_t(components);
    const size_t rowBytes = (samples * size_t(bits) + 7) / 8;
    std::string out(samples * size_t(height), '\0');
    const int maxValue = (1 << std::min(bits, 8)) - 1;
    for (size_t y = 0; y < size_t(height); ++y) {
        const auto* row = reinterpret_cast<const unsigned char*>(packed.data()) + y * rowBytes;
        char* target = out.data() + y * samples;
        for (size_t i = 0; i < samples; ++i) {
            unsigned value = 0;
            if (bits == 8) {
                value = row[i];
            } else if (bits == 16) {
                value = row[2 * i]; // big-endian: the high byte first
            } else {
                const size_t bit = i * size_t(bits);
                value = unsigned(row[bit / 8] >> (8 - size_t(bits) - bit % 8)) & unsigned(maxValue);
                value = value * 255 / unsigned(maxValue);
            }
            target[i] = char(value);
        }
    }
    return out;
}

bool manyColours(const std::string& pixels, int components)
{
    const size_t limit = components == 1 ? lineArtGreys : lineArtColours;
    std::unordered_set<unsigned> seen;
    const auto* p = reinterpret_cast<const unsigned char*>(pixels.data());
    for (size_t i = 0; i + size_t(components) <= pixels.size(); i += size_t(components)) {
        const unsigned colour = components == 1 ? p[i] : p[i] | unsigned(p[i + 1]) << 8 | unsigned(p[i + 2]) << 16;
        if (seen.insert(colour).second && seen.size() > limit) {
            return true;
        }
    }
    return false;
}

std::string deflate(const std::string& raw)
{
    uLongf size = compressBound(uLong(raw.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                  uLong(raw.size()), 9)
        != Z_OK) {
        return {};
    }
    out.resize(size);
    return out;
}

struct Encoded
{
    std::string bytes;
    int width = 0;
    int height = 0;
    bool jpeg = false;
};

std::optional<Encoded> encode(VipsImage* image, bool jpeg, double quality)
{
    Encoded encoded{{}, vips_image_get_width(image), vips_image_get_height(image), jpeg};
    if (jpeg) {
        void* buffer = nullptr;
        size_t length = 0;
        if (vips_jpegsave_buffer(image, &buffer, &length, "Q", int(std::lround(quality * 100)), "optimize_coding", TRUE,
                                 "strip", TRUE, nullptr)
            != 0) {
            return std::nullopt;
        }
        const std::unique_ptr<void, GFree> owned(buffer);
        encoded.bytes.assign(static_cast<const char*>(buffer), length);
    } else {
        size_t length = 0;
        const std::unique_ptr<void, GFree> raw(vips_image_write_to_memory(image, &length));
        if (!raw) {
            return std::nullopt;
        }
        encoded.bytes = deflate(std::string(static_cast<const char*>(raw.get()), length));
    }
    return encoded.bytes.empty() ? std::nullopt : std::optional<Encoded>(std::move(encoded));
}

Image scaledTo(Image image, int width, int height)
{
    const int w = vips_image_get_width(image.get());
    const int h = vips_image_get_height(image.get());
    if (w == width && h == height) {
        return image;
    }
    VipsImage* out = nullptr;
    if (vips_resize(image.get(), &out, double(width) / w, "vscale", double(height) / h, nullptr) != 0) {
        return nullptr;
    }
    return Image(out);
}

// What the image dictionary says, when it is a picture this file can scale without changing its colours.
struct Source
{
    long long width = 0;
    long long height = 0;
    int bits = 0;
    int components = 0;
    Coding coding = Coding::other;
};

std::optional<Source> sourceOf(QPDFObjectHandle dict, bool softMask)
{
    QPDFObjectHandle width = dict.getKey("/Width");
    QPDFObjectHandle height = dict.getKey("/Height");
    QPDFObjectHandle bits = dict.getKey("/BitsPerComponent");
    QPDFObjectHandle imageMask = dict.getKey("/ImageMask");
    if (!width.isInteger() || !height.isInteger() || !bits.isInteger()
        || (imageMask.isBool() && imageMask.getBoolValue()) || dict.getKey("/Mask").isArray()
        || !dict.getKey("/SMaskInData").isNull() || (softMask && !dict.getKey("/Matte").isNull())) {
        return std::nullopt;
    }
    Source source{width.getIntValue(), height.getIntValue(), int(bits.getIntValue()),
                  componentsOf(dict.getKey("/ColorSpace"), softMask), codingOf(dict)};
    QPDFObjectHandle length = dict.getKey("/Length");
    if (source.width <= 0 || source.height <= 0 || double(source.width) * double(source.height) > maxPixels
        || source.components == 0 || source.coding == Coding::other
        || (source.bits != 1 && source.bits != 2 && source.bits != 4 && source.bits != 8 && source.bits != 16)
        || !plainDecode(dict.getKey("/Decode"), source.components)
        || (length.isInteger() && double(length.getIntValue()) > maxPixels * 6)) {
        return std::nullopt;
    }
    return source;
}

// Decoded at the smallest of JPEG's built-in scales that still gives at least the size wanted: decoding
// skips the detail that scaling would drop anyway.
Image decodeJpeg(const Buffer& raw, const Source& source, int width, int height)
{
    auto* bytes = const_cast<unsigned char*>(raw.getBuffer());
    VipsImage* header = nullptr;
    if (vips_jpegload_buffer(bytes, raw.getSize(), &header, nullptr) != 0) {
        return nullptr;
    }
    const Image checked(header); // the file must be what the PDF says it is
    if (vips_image_get_width(header) != source.width || vips_image_get_height(header) != source.height
        || vips_image_get_bands(header) != source.components) {
        return nullptr;
    }
    int shrink = 8;
    while (shrink > 1 && (source.width / shrink < width || source.height / shrink < height)) {
        shrink /= 2;
    }
    VipsImage* decoded = nullptr;
    if (vips_jpegload_buffer(bytes, raw.getSize(), &decoded, "shrink", shrink, "access", VIPS_ACCESS_SEQUENTIAL,
                             nullptr)
        != 0) {
        return nullptr;
    }
    return Image(decoded);
}

// 8-bit samples, or nothing when the data is damaged or shorter than the picture.
std::optional<std::string> decodeSamples(QPDFObjectHandle image, const Source& source)
{
    const size_t rowBytes = (size_t(source.width) * size_t(source.components) * size_t(source.bits) + 7) / 8;
    const size_t expected = rowBytes * size_t(source.height);
    Bounded decoded(expected + 4096); // writers may pad the end a little
    try {
        if (!image.pipeStreamData(&decoded, nullptr, 0, qpdf_dl_specialized, true) || decoded.bytes.size() < expected) {
            return std::nullopt;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (source.bits == 8) {
        decoded.bytes.resize(expected);
        return std::move(decoded.bytes);
    }
    return toEightBits(decoded.bytes, int(source.width), int(source.height), source.components, source.bits);
}

} // namespace

namespace ImageRecoder {

bool recode(QPDFObjectHandle image, const Target& target, double density, double quality)
{
    QPDFObjectHandle dict = image.getDict();
    const std::optional<Source> source = sourceOf(dict, target.softMask);
    if (!source) {
        return false;
    }
    const double pixels = double(source->width) * double(source->height);
    const double scale = std::min(1.0, density * std::sqrt(target.area / pixels));
    const bool scaleDown = scale < worthScaling;
    const int width = std::max(1, int(std::lround(double(source->width) * scale)));
    const int height = std::max(1, int(std::lround(double(source->height) * scale)));
    // Pictures already at their size are only worth a new encoding when they are photographs stored
    // losslessly; the writer recompresses the rest.
    if ((!scaleDown && (source->coding == Coding::jpeg || target.softMask || source->bits < 8)) || !vipsReady()) {
        return false;
    }
    const std::shared_ptr<Buffer> raw = image.getRawStreamData();
    std::optional<std::string> samples; // held until encoded: the picture reads them in place
    Image picture;
    bool photograph = !target.softMask;
    if (source->coding == Coding::jpeg) {
        picture = decodeJpeg(*raw, *source, width, height);
    } else if ((samples = decodeSamples(image, *source))) {
        photograph = photograph && source->bits >= 8 && manyColours(*samples, source->components);
        if (!scaleDown && !photograph) {
            return false;
        }
        picture.reset(vips_image_new_from_memory(samples->data(), samples->size(), int(source->width),
                                                 int(source->height), source->components, VIPS_FORMAT_UCHAR));
    }
    std::optional<Encoded> encoded;
    if (picture) {
        picture = scaledTo(std::move(picture), width, height);
    }
    if (picture) {
        encoded = encode(picture.get(), photograph, quality);
    }
    vips_error_clear(); // the reasons are not shown; the picture just stays as it is
    if (!encoded || encoded->bytes.size() >= raw->getSize()) {
        return false;
    }
    image.replaceStreamData(encoded->bytes, QPDFObjectHandle::newName(encoded->jpeg ? "/DCTDecode" : "/FlateDecode"),
                            QPDFObjectHandle::newNull());
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(encoded->width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(encoded->height));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    dict.removeKey("/Decode");
    return true;
}

} // namespace ImageRecoder
