#include "HeicWriter.h"

#include "Failure.h"

#include <cstring>
#include <libheif/heif.h>
#include <memory>

namespace {

void check(const heif_error& error)
{
    if (error.code != heif_error_Ok) {
        throw Failure(std::string("Could not write the HEIC picture: ") + error.message + ".");
    }
}

template <auto Free>
struct Deleter
{
    template <typename T>
    void operator()(T* pointer) const
    {
        Free(pointer);
    }
};

// The bytes of a metadata field, or nothing when the picture has none.
std::pair<const void*, size_t> blob(const vips::VImage& picture, const char* field)
{
    if (picture.get_typeof(field) == 0) {
        return {nullptr, 0};
    }
    size_t size = 0;
    const void* data = picture.get_blob(field, &size);
    return {data, size};
}

} // namespace

namespace HeicWriter {

void write(vips::VImage picture, const std::filesystem::path& path, int quality)
{
    if (picture.interpretation() != VIPS_INTERPRETATION_sRGB || picture.format() != VIPS_FORMAT_UCHAR) {
        picture = picture.colourspace(VIPS_INTERPRETATION_sRGB).cast(VIPS_FORMAT_UCHAR);
    }
    if (picture.bands() > 4) {
        picture = picture.extract_band(0, vips::VImage::option()->set("n", 4));
    }
    const bool alpha = picture.bands() == 4;
    const int width = picture.width();
    const int height = picture.height();
    size_t size = 0;
    std::unique_ptr<unsigned char, decltype(&g_free)> pixels(
        static_cast<unsigned char*>(picture.write_to_memory(&size)), &g_free);

    heif_image* rawImage = nullptr;
    check(heif_image_create(width, height, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &rawImage));
    std::unique_ptr<heif_image, Deleter<heif_image_release>> image(rawImage);
    check(heif_image_add_plane(image.get(), heif_channel_interleaved, width, height, 8));
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    const size_t rowBytes = size_t(width) * (alpha ? 4 : 3);
    for (int y = 0; y < height; ++y) {
        std::memcpy(plane + size_t(y) * size_t(stride), pixels.get() + size_t(y) * rowBytes, rowBytes);
    }
    pixels.reset();
    if (const auto [icc, iccSize] = blob(picture, VIPS_META_ICC_NAME); icc) {
        check(heif_image_set_raw_color_profile(image.get(), "prof", icc, iccSize));
    }

    std::unique_ptr<heif_context, Deleter<heif_context_free>> context(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    check(heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder));
    std::unique_ptr<heif_encoder, Deleter<heif_encoder_release>> encoder(rawEncoder);
    check(heif_encoder_set_lossy_quality(encoder.get(), quality));
    check(heif_encoder_set_parameter_string(encoder.get(), "preset", preset));

    std::unique_ptr<heif_encoding_options, Deleter<heif_encoding_options_free>> options(heif_encoding_options_alloc());
    heif_image_handle* rawHandle = nullptr;
    check(heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(), &rawHandle));
    std::unique_ptr<heif_image_handle, Deleter<heif_image_handle_release>> handle(rawHandle);
    if (const auto [exif, exifSize] = blob(picture, VIPS_META_EXIF_NAME); exif) {
        // The stored block starts with the JPEG marker's "Exif\0\0"; HEIF wants the TIFF header.
        const auto* bytes = static_cast<const char*>(exif);
        const size_t skip = exifSize > 6 && std::memcmp(bytes, "Exif\0\0", 6) == 0 ? 6 : 0;
        check(heif_context_add_exif_metadata(context.get(), handle.get(), bytes + skip, int(exifSize - skip)));
    }
    if (const auto [xmp, xmpSize] = blob(picture, VIPS_META_XMP_NAME); xmp) {
        check(heif_context_add_XMP_metadata(context.get(), handle.get(), xmp, int(xmpSize)));
    }
    check(heif_context_write_to_file(context.get(), path.c_str()));
}

} // namespace HeicWriter
