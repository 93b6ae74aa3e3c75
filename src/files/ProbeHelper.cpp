#include "ProbeHelper.h"

#include "FilesLog.h"
#include "base/EnumNames.h"
#include "platform/FdChannel.h"
#include "platform/HelperFolder.h"
#include "platform/Sandbox.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QJsonDocument>
#include <QPointer>
#include <QProcess>
#include <QPromise>
#include <QTimer>
#include <cmath>
#include <deque>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

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

int timeLimitForTesting = 0;

// The one worker and its queue, on the main thread.
class ProbeWorker : public QObject
{
public:
    static ProbeWorker& instance()
    {
        static QPointer<ProbeWorker> worker;
        if (!worker) {
            // Goes with the application, which ends the worker.
            worker = new ProbeWorker(QCoreApplication::instance());
        }
        return *worker;
    }

    QFuture<MediaFacts> probe(const QString& path, FileKind kind)
    {
        Request request{std::make_shared<QPromise<MediaFacts>>(), kind, {}};
        request.promise->start();
        const QFuture<MediaFacts> future = request.promise->future();
        if (kind == FileKind::video || kind == FileKind::audio || kind == FileKind::image || kind == FileKind::pdf) {
            // The file the user chose, wherever a link to it points; opened without following any link
            // that replaced it since.
            request.file = Descriptor::openRegularFile(QFileInfo(path).canonicalFilePath());
        }
        if (!request.file.isValid()) {
            finish(request, {});
            return future;
        }
        m_queue.push_back(std::move(request));
        pump();
        return future;
    }

private:
    struct Request
    {
        std::shared_ptr<QPromise<MediaFacts>> promise;
        FileKind kind;
        Descriptor file;
    };

    explicit ProbeWorker(QObject* parent)
        : QObject(parent)
    {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] { fail("took too long"); });
    }

    ~ProbeWorker() override
    {
        if (m_process) {
            m_process->disconnect(this);
            m_process->kill();
            m_process->waitForFinished(1000);
        }
    }

    static void finish(const Request& request, const MediaFacts& facts)
    {
        request.promise->addResult(facts);
        request.promise->finish();
    }

    void pump()
    {
        if (m_current) {
            return;
        }
        while (!m_queue.empty() && m_queue.front().promise->future().isCanceled()) {
            finish(m_queue.front(), {});
            m_queue.pop_front();
        }
        if (m_queue.empty() || !(m_channel || start())) {
            for (Request& request : m_queue) {
                finish(request, {});
            }
            m_queue.clear();
            return;
        }
        m_current = std::move(m_queue.front());
        m_queue.pop_front();
        const QJsonObject request{{u"kind"_s, EnumNames::name(m_current->kind)}};
        m_timer.start(timeLimitForTesting > 0 ? timeLimitForTesting : ProbeHelper::timeLimitMs);
        if (!m_channel->send(QJsonDocument(request).toJson(QJsonDocument::Compact), m_current->file.get())) {
            fail("could not be reached");
            return;
        }
        m_current->file = {};
    }

    bool start()
    {
        std::optional<std::pair<Descriptor, Descriptor>> ends = FdChannel::makePair();
        if (!ends) {
            return false;
        }
        SandboxPolicy policy;
        policy.program = ProbeHelper::program();
#if defined(__SANITIZE_ADDRESS__)
        policy.limitAddressSpace = false; // built like this program, with the address sanitizer
#endif
        m_process = new QProcess(this);
        m_process->setStandardInputFile(QProcess::nullDevice());
        m_process->setStandardOutputFile(QProcess::nullDevice());
        // What the readers' libraries complain about is for developers (QT_LOGGING_RULES=trellick.files.debug=true),
        // not for the user's terminal.
        m_errorTail.clear();
        connect(m_process, &QProcess::readyReadStandardError, this, &ProbeWorker::logErrors);
        Sandbox(policy).applyTo(*m_process, ends->second.get());
#if defined(__SANITIZE_ADDRESS__)
        // Leak checking at the end would need ptrace, which the worker's confinement refuses.
        QProcessEnvironment environment = m_process->processEnvironment();
        environment.insert(u"ASAN_OPTIONS"_s, u"detect_leaks=0"_s);
        m_process->setProcessEnvironment(environment);
#endif
        connect(m_process, &QProcess::finished, this, [this] { fail("ended"); });
        connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                fail("could not be started");
            }
        });
        m_process->start(policy.program, {});
        ends->second = {}; // the worker has its copy
        if (m_process->state() == QProcess::NotRunning) {
            stop();
            return false;
        }
        m_channel = new FdChannel(std::move(ends->first), this);
        connect(m_channel, &FdChannel::received, this, &ProbeWorker::answer);
        connect(m_channel, &FdChannel::broken, this, [this] { fail("closed its end"); });
        return true;
    }

    void stop()
    {
        if (m_channel) {
            m_channel->disconnect(this);
            std::exchange(m_channel, nullptr)->deleteLater();
        }
        if (m_process) {
            m_process->disconnect(this);
            QProcess* process = std::exchange(m_process, nullptr);
            QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
            if (process->state() == QProcess::NotRunning) {
                process->deleteLater();
            } else {
                process->kill();
            }
        }
    }

    void answer(const QByteArray& body)
    {
        QJsonParseError error{};
        const QJsonDocument reply = QJsonDocument::fromJson(body, &error);
        if (!m_current || error.error != QJsonParseError::NoError || !reply.isObject()) {
            fail("answered something that is not facts");
            return;
        }
        m_timer.stop();
        finish(*std::exchange(m_current, std::nullopt), ProbeHelper::decode(reply.object()));
        pump();
    }

    // One log line per line the worker wrote on its standard error; an endless line is cut.
    void logErrors()
    {
        constexpr qsizetype maxLine = 1000;
        m_errorTail += m_process->readAllStandardError();
        for (qsizetype end = m_errorTail.indexOf('\n'); end >= 0; end = m_errorTail.indexOf('\n')) {
            qCDebug(lcFiles, "the probe worker says: %s", m_errorTail.left(std::min(end, maxLine)).constData());
            m_errorTail.remove(0, end + 1);
        }
        if (m_errorTail.size() > maxLine) {
            qCDebug(lcFiles, "the probe worker says: %s", m_errorTail.left(maxLine).constData());
            m_errorTail.clear();
        }
    }

    // The worker is ended; the file it was reading gets no facts and the next file a new worker.
    void fail(const char* what)
    {
        qCWarning(lcFiles, "the probe worker %s; it is started again for the next file", what);
        m_timer.stop();
        stop();
        if (m_current) {
            finish(*std::exchange(m_current, std::nullopt), {});
        }
        pump();
    }

    std::deque<Request> m_queue;
    std::optional<Request> m_current;
    QProcess* m_process = nullptr;
    FdChannel* m_channel = nullptr;
    QTimer m_timer;
    QByteArray m_errorTail; // the start of a line the worker has not ended yet
};

} // namespace

QString ProbeHelper::program()
{
    return HelperFolder::path() + u"/trellick-probe"_s;
}

QFuture<MediaFacts> ProbeHelper::probe(const QString& path, FileKind kind)
{
    return ProbeWorker::instance().probe(path, kind);
}

MediaFacts ProbeHelper::probeNow(const QString& path, FileKind kind)
{
    QEventLoop loop;
    QFutureWatcher<MediaFacts> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(probe(path, kind));
    if (!watcher.isFinished()) {
        loop.exec();
    }
    return watcher.future().resultCount() > 0 ? watcher.future().result() : MediaFacts();
}

void ProbeHelper::setTimeLimitForTesting(int milliseconds)
{
    timeLimitForTesting = milliseconds;
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
    if (facts.fileList) {
        object.insert(u"fileList"_s, true);
    }
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
    facts.fileList = object.value(u"fileList"_s).toBool(false);
    facts.source = textOf(object, u"source"_s).value_or(QString());
    return facts;
}
