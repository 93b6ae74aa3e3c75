#include "PictureJob.h"

#include "Failure.h"
#include "HeicWriter.h"
#include "OutputFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <libexif/exif-data.h>
#include <map>

namespace fs = std::filesystem;
using vips::VImage;

namespace {

// Far beyond any picture: asks the thumbnailer to let the other side follow the aspect ratio.
constexpr int unbounded = 10000000;

std::string quoted(const std::string& text)
{
    return "“" + text + "”";
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

const std::map<std::string, std::string>& formatByExtension()
{
    static const std::map<std::string, std::string> table = {
        {".jpg", "jpeg"}, {".jpeg", "jpeg"}, {".png", "png"}, {".heic", "heic"}, {".heif", "heic"},
        {".tif", "tiff"}, {".tiff", "tiff"}, {".bmp", "bmp"}, {".gif", "gif"},
    };
    return table;
}

std::string extensionFor(const std::string& format)
{
    static const std::map<std::string, std::string> table = {
        {"jpeg", ".jpg"}, {"png", ".png"}, {"heic", ".heic"}, {"tiff", ".tiff"}, {"bmp", ".bmp"}, {"gif", ".gif"},
    };
    return table.at(format);
}

// The format the input was read in, from the name of the loader libvips picked.
std::string formatOfLoader(const VImage& picture)
{
    if (picture.get_typeof(VIPS_META_LOADER) == 0) {
        return {};
    }
    const std::string loader = picture.get_string(VIPS_META_LOADER);
    for (const char* name : {"jpeg", "png", "heif", "tiff", "gif", "webp"}) {
        if (loader.starts_with(name)) {
            return std::string(name) == "heif" ? "heic" : name;
        }
    }
    return {};
}

int quality(const std::optional<std::string>& option, int fallback)
{
    if (!option || *option == "default" || *option == "lzw" || *option == "packbits") {
        return fallback;
    }
    static const std::map<std::string, int> words = {{"low", 30}, {"normal", 55}, {"high", 80}, {"best", 100}};
    const auto it = words.find(*option);
    return it != words.end() ? it->second : int(std::lround(std::stod(*option)));
}

// Removes the EXIF tags `drop` picks, from the EXIF block and from the fields libvips writes back into
// it, so that every writer (ours for HEIC included) gets the same, reduced block.
VImage dropExifTags(VImage picture, const std::function<bool(ExifIfd, ExifTag)>& drop)
{
    if (picture.get_typeof(VIPS_META_EXIF_NAME) == 0) {
        return picture;
    }
    size_t size = 0;
    const void* bytes = picture.get_blob(VIPS_META_EXIF_NAME, &size);
    ExifData* exif = exif_data_new_from_data(static_cast<const unsigned char*>(bytes), unsigned(size));
    if (!exif) {
        picture.remove(VIPS_META_EXIF_NAME);
        return picture;
    }
    for (int ifd = 0; ifd < EXIF_IFD_COUNT; ++ifd) {
        ExifContent* content = exif->ifd[ifd];
        for (unsigned i = content->count; i-- > 0;) {
            ExifEntry* entry = content->entries[i];
            if (drop(ExifIfd(ifd), entry->tag)) {
                if (const char* name = exif_tag_get_name_in_ifd(entry->tag, ExifIfd(ifd))) {
                    picture.remove(("exif-ifd" + std::to_string(ifd) + "-" + name).c_str());
                }
                exif_content_remove_entry(content, entry);
            }
        }
    }
    unsigned char* saved = nullptr;
    unsigned savedSize = 0;
    exif_data_save_data(exif, &saved, &savedSize);
    exif_data_unref(exif);
    if (saved) {
        vips_image_set_blob_copy(picture.get_image(), VIPS_META_EXIF_NAME, saved, savedSize);
        std::free(saved); // libexif's default allocator
    }
    return picture;
}

void removeFields(VImage& picture, const std::function<bool(const std::string&)>& drop)
{
    gchar** fields = vips_image_get_fields(picture.get_image());
    for (gchar** field = fields; *field; ++field) {
        if (drop(*field)) {
            picture.remove(*field);
        }
    }
    g_strfreev(fields);
}

// For the formats without transparency: 8 bits per sample, with any transparency laid on white, as
// the tool this stands in for does. Colour stays colour and grey stays grey.
VImage opaque(VImage picture)
{
    if (picture.interpretation() == VIPS_INTERPRETATION_RGB16) {
        picture = picture.colourspace(VIPS_INTERPRETATION_sRGB);
    } else if (picture.interpretation() == VIPS_INTERPRETATION_GREY16) {
        picture = picture.colourspace(VIPS_INTERPRETATION_B_W);
    }
    if (!picture.has_alpha()) {
        return picture;
    }
    const std::vector<double> white(size_t(picture.bands() - 1), 255);
    return picture.flatten(VImage::option()->set("background", white)->set("max_alpha", 255));
}

} // namespace

PictureJob::PictureJob(SipsCommand command)
    : m_command(std::move(command))
{
    std::error_code ec;
    m_outputIsFolder = fs::is_directory(*m_command.output, ec);
    if (!m_outputIsFolder && m_command.inputs.size() > 1) {
        throw Failure("With several pictures, -o must name an existing folder.");
    }
}

void PictureJob::run()
{
    for (const std::string& input : m_command.inputs) {
        const fs::path inputPath = fs::absolute(input).lexically_normal();
        std::error_code ec;
        if (!fs::exists(inputPath, ec)) {
            throw Failure(quoted(input) + ": No such file or directory.");
        }
        size_t firstOp = 0;
        VImage picture;
        try {
            picture = load(input, firstOp);
        } catch (const vips::VError& error) {
            const std::string why = error.what();
            throw Failure("Invalid data found in " + quoted(input) + ": " + why.substr(0, why.find('\n')));
        }
        for (size_t i = firstOp; i < m_command.ops.size(); ++i) {
            picture = apply(picture, m_command.ops[i]);
        }
        picture = deleteProperties(picture);

        const fs::path output = outputFor(inputPath);
        std::string format = m_command.format.value_or("");
        if (format.empty()) {
            const std::string extension = lower(output.extension().string());
            if (extension == ".webp") {
                throw Failure("sips cannot write WebP pictures.");
            }
            const auto it = formatByExtension().find(extension);
            format = it != formatByExtension().end() ? it->second : formatOfLoader(picture);
        }
        if (format == "webp") {
            throw Failure("sips cannot write WebP pictures; add -s format with another format.");
        }
        if (format.empty()) {
            throw Failure("The format to write " + quoted(output.string())
                          + " in is unknown; add -s format png or another format.");
        }
        OutputFile file(output);
        save(picture, format, file.tempPath());
        file.commit();
        std::printf("%s\n  %s\n", inputPath.c_str(), output.c_str());
        std::fflush(stdout);
    }
}

fs::path PictureJob::outputFor(const fs::path& input) const
{
    const fs::path output = fs::absolute(*m_command.output).lexically_normal();
    if (!m_outputIsFolder) {
        return output;
    }
    // Name it after the input, with the extension of the format written, never the input's own
    // extension over different contents.
    fs::path name = input.filename();
    if (m_command.format) {
        name.replace_extension(extensionFor(*m_command.format));
    }
    return output / name;
}

VImage PictureJob::load(const std::string& input, size_t& firstOp) const
{
    const auto& ops = m_command.ops;
    if (!ops.empty() && ops.front().kind <= SipsCommand::OpKind::resampleHeight) {
        // A resample that comes first is done while decoding (JPEG and HEIC shrink on load), far faster
        // than decoding every pixel and shrinking afterwards.
        const SipsCommand::Op& op = ops.front();
        int width = unbounded;
        auto options = VImage::option()->set("no_rotate", true)->set("height", unbounded);
        switch (op.kind) {
        case SipsCommand::OpKind::resampleMax:
            width = int(op.a);
            options->set("height", int(op.a));
            break;
        case SipsCommand::OpKind::resampleBoth:
            width = int(op.b);
            options->set("height", int(op.a))->set("size", VIPS_SIZE_FORCE);
            break;
        case SipsCommand::OpKind::resampleWidth:
            width = int(op.a);
            break;
        default:
            options->set("height", int(op.a));
            break;
        }
        firstOp = 1;
        VImage picture = VImage::thumbnail(input.c_str(), width, options);
        return ops.size() > 1 ? picture.copy_memory() : picture;
    }
    firstOp = 0;
    // Rotating, flipping and cropping read the picture out of order.
    const VipsAccess access = ops.empty() ? VIPS_ACCESS_SEQUENTIAL : VIPS_ACCESS_RANDOM;
    return VImage::new_from_file(input.c_str(), VImage::option()->set("access", access));
}

VImage PictureJob::apply(VImage picture, const SipsCommand::Op& op) const
{
    using Kind = SipsCommand::OpKind;
    const int width = picture.width();
    const int height = picture.height();
    const auto resampleTo = [&](double w, double h) {
        const int targetW = std::max(1, int(std::lround(w)));
        const int targetH = std::max(1, int(std::lround(h)));
        VImage out = picture.resize(double(targetW) / width, VImage::option()->set("vscale", double(targetH) / height));
        if (out.width() != targetW || out.height() != targetH) {
            out = out.gravity(VIPS_COMPASS_DIRECTION_CENTRE, targetW, targetH,
                              VImage::option()->set("extend", VIPS_EXTEND_COPY));
        }
        return out;
    };
    const auto padded = [&] {
        return VImage::option()->set("extend", VIPS_EXTEND_BACKGROUND)->set("background", background(picture));
    };
    switch (op.kind) {
    case Kind::resampleMax: {
        const double scale = op.a / std::max(width, height);
        return resampleTo(width * scale, height * scale);
    }
    case Kind::resampleBoth:
        return resampleTo(op.b, op.a);
    case Kind::resampleWidth:
        return resampleTo(op.a, height * op.a / width);
    case Kind::resampleHeight:
        return resampleTo(width * op.a / height, op.a);
    case Kind::rotate: {
        const double angle = std::fmod(std::fmod(op.a, 360) + 360, 360);
        if (angle == 0) {
            return picture;
        }
        if (angle == 90 || angle == 180 || angle == 270) {
            return picture.rot(angle == 90 ? VIPS_ANGLE_D90 : angle == 180 ? VIPS_ANGLE_D180 : VIPS_ANGLE_D270);
        }
        return picture.rotate(angle, VImage::option()->set("background", background(picture)));
    }
    case Kind::flip:
        return picture.flip(op.vertical ? VIPS_DIRECTION_VERTICAL : VIPS_DIRECTION_HORIZONTAL);
    case Kind::crop:
        if (m_command.cropOffset) {
            return picture.embed(-m_command.cropOffset->second, -m_command.cropOffset->first, int(op.b), int(op.a),
                                 padded());
        }
        return picture.gravity(VIPS_COMPASS_DIRECTION_CENTRE, int(op.b), int(op.a), padded());
    case Kind::pad:
        return picture.gravity(VIPS_COMPASS_DIRECTION_CENTRE, int(op.b), int(op.a), padded());
    }
    return picture;
}

VImage PictureJob::deleteProperties(VImage picture) const
{
    for (const std::string& name : m_command.deletions) {
        const std::string key = lower(name);
        picture = picture.copy();
        if (key == "all") {
            // Everything that describes the picture, but not the colour profile its pixels need.
            removeFields(picture, [](const std::string& field) {
                return field.starts_with("exif-") || field == VIPS_META_XMP_NAME || field == VIPS_META_IPTC_NAME
                    || field == VIPS_META_PHOTOSHOP_NAME || field.starts_with("png-comment-") || field == "jpeg-comment"
                    || field == VIPS_META_IMAGEDESCRIPTION;
            });
        } else if (key == "location" || key == "gps") {
            picture = dropExifTags(picture, [](ExifIfd ifd, ExifTag) { return ifd == EXIF_IFD_GPS; });
            removeFields(picture, [](const std::string& field) { return field.starts_with("exif-ifd3-"); });
            // XMP repeats the position as exif:GPS... properties.
            if (picture.get_typeof(VIPS_META_XMP_NAME) != 0) {
                size_t size = 0;
                const auto* xmp = static_cast<const char*>(picture.get_blob(VIPS_META_XMP_NAME, &size));
                if (std::string_view(xmp, size).find("GPS") != std::string_view::npos) {
                    picture.remove(VIPS_META_XMP_NAME);
                }
            }
        } else if (key == "exif") {
            removeFields(picture, [](const std::string& field) { return field.starts_with("exif-"); });
        } else if (key == "xmp") {
            picture.remove(VIPS_META_XMP_NAME);
        } else if (key == "iptc") {
            picture.remove(VIPS_META_IPTC_NAME);
        } else if (key == "profile") {
            picture.remove(VIPS_META_ICC_NAME);
        } else {
            static const std::map<std::string, std::vector<ExifTag>> tags = {
                {"make", {EXIF_TAG_MAKE}},
                {"model", {EXIF_TAG_MODEL}},
                {"software", {EXIF_TAG_SOFTWARE}},
                {"description", {EXIF_TAG_IMAGE_DESCRIPTION}},
                {"copyright", {EXIF_TAG_COPYRIGHT}},
                {"artist", {EXIF_TAG_ARTIST}},
                {"creation", {EXIF_TAG_DATE_TIME, EXIF_TAG_DATE_TIME_ORIGINAL, EXIF_TAG_DATE_TIME_DIGITIZED}},
            };
            const auto it = tags.find(key);
            if (it == tags.end()) {
                throw Failure(
                    "The property " + quoted(name)
                    + " cannot be deleted; use all, location, exif, xmp, iptc, profile, make, model, software, "
                      "description, copyright, artist or creation.");
            }
            picture = dropExifTags(picture, [&](ExifIfd, ExifTag tag) {
                return std::find(it->second.begin(), it->second.end(), tag) != it->second.end();
            });
        }
    }
    return picture;
}

void PictureJob::save(const VImage& picture, const std::string& format, const fs::path& path) const
{
    const auto& option = m_command.formatOptions;
    if (format == "jpeg") {
        opaque(picture).jpegsave(path.c_str(), VImage::option()->set("Q", quality(option, 80)));
    } else if (format == "png") {
        picture.pngsave(path.c_str());
    } else if (format == "heic") {
        HeicWriter::write(picture, path, quality(option, 50));
    } else if (format == "tiff") {
        const VipsForeignTiffCompression compression = option == "lzw" ? VIPS_FOREIGN_TIFF_COMPRESSION_LZW
            : option == "packbits"                                     ? VIPS_FOREIGN_TIFF_COMPRESSION_PACKBITS
                                                                       : VIPS_FOREIGN_TIFF_COMPRESSION_NONE;
        picture.tiffsave(path.c_str(), VImage::option()->set("compression", compression));
    } else if (format == "gif") {
        picture.gifsave(path.c_str());
    } else if (format == "bmp") {
        opaque(picture).magicksave(path.c_str(), VImage::option()->set("format", "BMP"));
    }
}

std::vector<double> PictureJob::background(const VImage& picture) const
{
    const auto& c = m_command.padColour;
    const bool sixteen = picture.format() == VIPS_FORMAT_USHORT;
    const double scale = sixteen ? 257.0 : 1.0;
    std::vector<double> values;
    const int colourBands = picture.bands() - (picture.has_alpha() ? 1 : 0);
    if (colourBands >= 3) {
        values = {c.red * scale, c.green * scale, c.blue * scale};
        values.resize(size_t(colourBands), 0);
    } else {
        values.assign(size_t(colourBands), std::round(0.2126 * c.red + 0.7152 * c.green + 0.0722 * c.blue) * scale);
    }
    if (picture.has_alpha()) {
        values.push_back(sixteen ? 65535 : 255);
    }
    return values;
}
