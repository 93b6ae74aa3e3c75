#include "ProbeHelper.h"

#include "FilesLog.h"
#include "base/EnumNames.h"
#include "base/ProcessJob.h"
#include "platform/HelperFolder.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QJsonDocument>
#include <QPromise>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// ffprobe's own limit, and as long again for the reader that follows when it fails.
constexpr int helperTimeLimitMs = 2 * ProbeHelper::ffprobeTimeLimitMs;

// Values longer than this are not facts anyone reads on a file card.
constexpr qsizetype maxTextLength = 200;

std::optional<QString> textOf(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString() || value.toString().size() > maxTextLength) {
        return std::nullopt;
    }
    return value.toString();
}

std::optional<double> numberOf(const QJsonObject& object, const QString& key, double low, double high)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (!std::isfinite(number) || number < low || number > high) {
        return std::nullopt;
    }
    return number;
}

std::optional<int> wholeOf(const QJsonObject& object, const QString& key)
{
    const std::optional<double> number = numberOf(object, key, 0, std::numeric_limits<int>::max());
    if (!number || *number != std::trunc(*number)) {
        return std::nullopt;
    }
    return static_cast<int>(*number);
}

} // namespace

QString ProbeHelper::program()
{
    return HelperFolder::path() + u"/trellick-probe"_s;
}

QFuture<MediaFacts> ProbeHelper::probe(const QString& path, FileKind kind)
{
    auto promise = std::make_shared<QPromise<MediaFacts>>();
    promise->start();
    // The job lives until the application does at most, which ends a helper still running.
    auto* job = new ProcessJob(QCoreApplication::instance());
    job->setDeadline(helperTimeLimitMs);
    QObject::connect(job, &ProcessJob::finished, job, [promise, job, path](const ProcResult& result) {
        job->deleteLater();
        if (result.status != 0) {
            qCDebug(lcFiles, "the probe helper failed on %s (status %d): %s", qUtf8Printable(path), result.status,
                    qUtf8Printable(result.err));
        }
        promise->addResult(result.status == 0 ? decode(QJsonDocument::fromJson(result.out.toUtf8()).object())
                                              : MediaFacts());
        promise->finish();
    });
    // A caller that gives up on the facts stops the helper.
    auto* cancelled = new QFutureWatcher<MediaFacts>(job);
    QObject::connect(cancelled, &QFutureWatcherBase::canceled, job, &ProcessJob::cancel);
    cancelled->setFuture(promise->future());
    job->start(program(), {EnumNames::name(kind), path});
    return promise->future();
}

QJsonObject ProbeHelper::encode(const MediaFacts& facts)
{
    QJsonObject object;
    const auto put = [&object](const QString& key, const auto& field) {
        if (field) {
            object.insert(key, *field);
        }
    };
    put(u"duration"_s, facts.duration);
    put(u"width"_s, facts.width);
    put(u"height"_s, facts.height);
    put(u"videoCodec"_s, facts.videoCodec);
    put(u"audioCodec"_s, facts.audioCodec);
    // A double holds every bit rate up to 2^53 bits per second exactly.
    if (facts.bitRate) {
        object.insert(u"bitRate"_s, double(*facts.bitRate));
    }
    put(u"frameRate"_s, facts.frameRate);
    put(u"sampleRate"_s, facts.sampleRate);
    put(u"pages"_s, facts.pages);
    if (!facts.source.isEmpty()) {
        object.insert(u"source"_s, facts.source);
    }
    return object;
}

MediaFacts ProbeHelper::decode(const QJsonObject& object)
{
    MediaFacts facts;
    facts.duration = numberOf(object, u"duration"_s, 0, std::numeric_limits<double>::max());
    facts.width = wholeOf(object, u"width"_s);
    facts.height = wholeOf(object, u"height"_s);
    facts.videoCodec = textOf(object, u"videoCodec"_s);
    facts.audioCodec = textOf(object, u"audioCodec"_s);
    const std::optional<double> bitRate = numberOf(object, u"bitRate"_s, 0, 9.0e15);
    if (bitRate && *bitRate == std::trunc(*bitRate)) {
        facts.bitRate = static_cast<qint64>(*bitRate);
    }
    facts.frameRate = textOf(object, u"frameRate"_s);
    facts.sampleRate = textOf(object, u"sampleRate"_s);
    facts.pages = wholeOf(object, u"pages"_s);
    facts.source = textOf(object, u"source"_s).value_or(QString());
    return facts;
}
