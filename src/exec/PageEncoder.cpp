#include "PageEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace {

void appendPng(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

void flushNothing(png_structp) { }

// Kept free of C++ objects with destructors: libpng reports errors by longjmp.
bool writePng(const PdfRenderer::Raster& raster, QByteArray* out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendPng, flushNothing);
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_IHDR(png, info, png_uint_32(raster.width), png_uint_32(raster.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    for (int y = 0; y < raster.height; ++y) {
        png_write_row(png, raster.rgb + qsizetype(y) * raster.stride);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

struct JpegErrors
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jumpOut(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

void ignoreMessage(j_common_ptr) { }

struct JpegBuffer
{
    unsigned char* data = nullptr;
    unsigned long size = 0;
};

// Kept free of C++ objects with destructors: errors come back by longjmp.
bool writeJpeg(const PdfRenderer::Raster& raster, int quality, JpegBuffer* buffer)
{
    jpeg_compress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpOut;
    errors.manager.output_message = ignoreMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer->data, &buffer->size);
    info.image_width = JDIMENSION(raster.width);
    info.image_height = JDIMENSION(raster.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(raster.rgb + qsizetype(info.next_scanline) * raster.stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

namespace PageEncoder {

QByteArray png(const PdfRenderer::Raster& raster)
{
    QByteArray out;
    // Deflate at level 1 shrinks rendered pages to roughly a tenth; reserve so appends rarely move.
    out.reserve(qsizetype(raster.width) * raster.height / 4);
    if (!writePng(raster, &out)) {
        return {};
    }
    out.squeeze();
    return out;
}

QByteArray jpeg(const PdfRenderer::Raster& raster, double quality)
{
    JpegBuffer buffer;
    const bool ok = writeJpeg(raster, std::clamp(int(quality * 100.0 + 0.5), 1, 100), &buffer);
    QByteArray out = ok ? QByteArray(reinterpret_cast<const char*>(buffer.data), qsizetype(buffer.size)) : QByteArray();
    std::free(buffer.data);
    return out;
}

} // namespace PageEncoder
