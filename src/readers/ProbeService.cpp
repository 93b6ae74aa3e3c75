#include "ProbeService.h"

#include "AvFormatReader.h"
#include "PdfPageReader.h"
#include "VipsHeaderReader.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "base/ProcessJob.h"
#include "files/ProbeHelper.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// JSON numbers are doubles; only a whole number inside the range of int is an integer field.
std::optional<int> intField(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (number != std::trunc(number) || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(number);
}

std::optional<QString> textField(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

void readFormat(const QJsonObject& format, MediaFacts& facts)
{
    bool ok = false;
    const double duration = format.value(u"duration"_s).toString().toDouble(&ok);
    if (ok && std::isfinite(duration)) {
        facts.duration = duration;
    }
    const qint64 bitRate = format.value(u"bit_rate"_s).toString().toLongLong(&ok, 10);
    if (ok) {
        facts.bitRate = bitRate;
    }
}

void readVideoStream(const QJsonObject& stream, MediaFacts& facts)
{
    // Cover art of a music file is a one-picture video stream; it says nothing about the medium.
    if (intField(stream.value(u"disposition"_s).toObject(), u"attached_pic"_s) == 1 || facts.videoCodec) {
        return;
    }
    facts.width = intField(stream, u"width"_s);
    facts.height = intField(stream, u"height"_s);
    facts.videoCodec = textField(stream, u"codec_name"_s);
    std::optional<QString> rate = textField(stream, u"avg_frame_rate"_s);
    if (!rate) {
        rate = textField(stream, u"r_frame_rate"_s);
    }
    facts.frameRate = rate ? MediaFacts::frameRateText(*rate) : std::nullopt;
}

void readAudioStream(const QJsonObject& stream, MediaFacts& facts)
{
    if (facts.audioCodec) {
        return;
    }
    facts.audioCodec = textField(stream, u"codec_name"_s);
    if (const std::optional<QString> rate = textField(stream, u"sample_rate"_s)) {
        facts.sampleRate = *rate + u" Hz"_s;
    }
}

} // namespace

namespace ProbeService {

MediaFacts probeNow(const QString& path, FileKind kind)
{
    // Opening a named pipe or a device named like a video would block, or read forever.
    if (kind != FileKind::folder && !QFileInfo(path).isFile()) {
        return {};
    }
    switch (kind) {
    case FileKind::video:
    case FileKind::audio:
        if (std::optional<MediaFacts> facts = viaFFprobe(path)) {
            return *facts;
        }
        return AvFormatReader::read(path);
    case FileKind::image:
        return VipsHeaderReader::read(path);
    case FileKind::pdf:
        return PdfPageReader::read(path);
    case FileKind::archive:
    case FileKind::folder:
    case FileKind::other:
        break;
    }
    return {};
}

std::optional<MediaFacts> viaFFprobe(const QString& path)
{
    // A system ffprobe that does not answer only fails here, and the facts are read another way.
    std::optional<FFmpegPair> tools = FFmpegTools::ownCopy();
    if (!tools) {
        tools = FFmpegTools::systemCopy();
    }
    if (!tools) {
        return std::nullopt;
    }
    const QString program = tools->ffprobe;
    // ffprobe parses a file from anywhere, so it runs confined to reading that one file.
    SandboxPolicy sandbox;
    sandbox.program = program;
    sandbox.readPaths = {path};
    const ProcResult result = ProcessJob::runBlocking(
        program, {u"-v"_s, u"error"_s, u"-show_format"_s, u"-show_streams"_s, u"-of"_s, u"json"_s, path}, {},
        ProbeHelper::ffprobeTimeLimitMs, Sandbox(sandbox));
    if (result.status != 0) {
        return std::nullopt;
    }
    return parseFFprobe(result.out);
}

std::optional<MediaFacts> parseFFprobe(const QString& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (!document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    MediaFacts facts;
    facts.source = u"ffprobe"_s;
    if (const QJsonValue format = root.value(u"format"_s); format.isObject()) {
        readFormat(format.toObject(), facts);
    }
    for (const QJsonValue& value : root.value(u"streams"_s).toArray()) {
        const QJsonObject stream = value.toObject();
        const QString type = stream.value(u"codec_type"_s).toString();
        if (type == u"video"_s) {
            readVideoStream(stream, facts);
        } else if (type == u"audio"_s) {
            readAudioStream(stream, facts);
        }
    }
    return facts;
}

} // namespace ProbeService
