#include "ToolInstaller.h"

#include "NetworkErrors.h"
#include "NoReplace.h"
#include "ToolArchive.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "base/ProcessJob.h"
#include "base/Sentence.h"
#include "net/FileDownload.h"
#include "platform/Sandbox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocale>
#include <QStringDecoder>
#include <QUuid>
#include <QtConcurrent>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 digestChunk = 4 * 1024 * 1024;
constexpr int checksumTimeoutMs = 30000;
// The release's list has a line for each of its few dozen archives.
constexpr qint64 checksumMaxBytes = 256 * 1024;
constexpr int startCheckTimeoutMs = 60000;
// The download's share of the progress bar; checking, unpacking and starting take the rest.
constexpr double downloadShare = 0.9;

std::optional<QUrl> downloadUrl(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"https"_s && url.scheme() != u"http"_s) || url.host().isEmpty()) {
        return std::nullopt;
    }
    return url;
}

bool isLowerHex64(const QString& piece)
{
    if (piece.size() != 64) {
        return false;
    }
    return std::all_of(piece.begin(), piece.end(),
                       [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); });
}

} // namespace

ToolInstaller::ToolInstaller(QObject* parent)
    : QObject(parent)
    , m_checksum(this)
{
    connect(&m_digest, &QFutureWatcherBase::finished, this, &ToolInstaller::onVerified);
    connect(&m_unpack, &QFutureWatcherBase::finished, this, &ToolInstaller::onUnpacked);
}

ToolInstaller::~ToolInstaller()
{
    // Hashing and unpacking stop at their next block; their files go only once they have.
    m_cancelled = true;
    m_digest.waitForFinished();
    m_unpack.waitForFinished();
    removeTemporaryFiles();
}

QString ToolInstaller::releaseFolder()
{
    QString folder = qEnvironmentVariable("TRELLICK_FFMPEG_SERVER");
    if (folder.isEmpty()) {
        folder = QStringLiteral(TRELLICK_FFMPEG_RELEASE);
    }
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString ToolInstaller::archiveName()
{
    // The release's "master" archives keep their names from one FFmpeg release to the next; the versioned
    // ones ("ffmpeg-n7.1-latest-...") are replaced by the next version's and would vanish under us.
#if defined(Q_PROCESSOR_X86_64)
    return u"ffmpeg-master-latest-linux64-gpl.tar.xz"_s;
#elif defined(Q_PROCESSOR_ARM_64)
    return u"ffmpeg-master-latest-linuxarm64-gpl.tar.xz"_s;
#else
    return {};
#endif
}

QString ToolInstaller::sourceDescription()
{
    return u"the BtbN FFmpeg-Builds release on GitHub (static Linux builds for x86-64 and arm64; GPL builds that "
           "include codecs such as x264)"_s;
}

const QStringList& ToolInstaller::tools()
{
    static const QStringList names{u"ffmpeg"_s, u"ffprobe"_s};
    return names;
}

void ToolInstaller::install()
{
    if (m_step != Step::idle) {
        return;
    }
    m_cancelled = false;
    const auto listUrl = downloadUrl(releaseFolder() + u"checksums.sha256"_s);
    if (archiveName().isEmpty()) {
        finish(ToolError{u"No ffmpeg build is published for this computer's processor."_s});
        return;
    }
    if (!listUrl || !downloadUrl(releaseFolder() + archiveName())) {
        finish(ToolError{u"Bad download address."_s});
        return;
    }
    m_step = Step::checksum;
    emit progress(0, u"Reading the published checksum..."_s);
    HttpRequest request;
    request.url = *listUrl;
    request.timeoutMs = checksumTimeoutMs;
    // A checksum list is a few lines; anything much longer is not one, and is not read to its end.
    request.maxBodyBytes = checksumMaxBytes;
    m_checksum.send(request, [this](const HttpResult& answer) { onChecksum(answer); });
}

void ToolInstaller::cancel()
{
    if (m_step == Step::idle) {
        return;
    }
    m_cancelled = true;
    // Aborting finishes the reply at once, stopping a child soon after; the step's handler then ends the
    // install as cancelled. Hashing and unpacking see the flag at their next block.
    if (m_step == Step::checksum) {
        m_checksum.cancel();
    } else if (m_downloader) {
        m_downloader->cancel();
    } else if (m_process) {
        m_process->cancel();
    }
}

void ToolInstaller::remove()
{
    for (const QString& tool : tools()) {
        QFile::remove(AppPaths::binDir() + u'/' + tool);
    }
}

Result<QString, ToolError> ToolInstaller::parseChecksum(const QByteArray& body, const QString& fileName)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(body);
    if (decoder.hasError()) {
        return ToolError{u"Could not read the published checksum."_s};
    }
    // "digest  name", or "digest *name" from a list made in binary mode.
    for (const QString& line : text.split(u'\n')) {
        const QString digest = line.left(64).toLower();
        const QString rest = line.mid(64).trimmed();
        if (isLowerHex64(digest) && line.size() > 64 && line[64].isSpace()
            && (rest == fileName || rest == u'*' + fileName)) {
            return digest;
        }
    }
    return ToolError{u"The checksum file was not in the expected format."_s};
}

Result<QString, ToolError> ToolInstaller::sha256(const QString& path, const std::atomic_bool* stop)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return ToolError{asSentence(file.errorString())};
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (;;) {
        if (stop && *stop) {
            return ToolError::cancellation();
        }
        const QByteArray chunk = file.read(digestChunk);
        if (chunk.isEmpty()) {
            if (file.error() != QFile::NoError) {
                return ToolError{asSentence(file.errorString())};
            }
            break;
        }
        hash.addData(chunk);
    }
    return QString::fromLatin1(hash.result().toHex());
}

void ToolInstaller::onChecksum(const HttpResult& answer)
{
    if (m_cancelled) {
        finish(ToolError::cancellation());
        return;
    }
    if (!answer.ok()) {
        finish(NetworkErrors::checksumError(answer.error()));
        return;
    }
    if (answer.value().status != 200) {
        finish(ToolError{u"Could not read the published checksum."_s});
        return;
    }
    const Result<QString, ToolError> sum = parseChecksum(answer.value().body, archiveName());
    if (!sum.ok()) {
        finish(sum.error());
        return;
    }
    m_expectedSum = sum.value();

    m_step = Step::download;
    m_downloader = new FileDownload(this);
    connect(m_downloader, &FileDownload::progress, this, [this](double fraction, qint64 bytes) {
        emit progress(fraction * downloadShare,
                      u"Downloading ffmpeg and ffprobe... "_s
                          + QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat));
    });
    connect(m_downloader, &FileDownload::finished, this, &ToolInstaller::onDownloaded);
    m_downloader->start(*downloadUrl(releaseFolder() + archiveName()));
}

void ToolInstaller::onDownloaded(const Result<QString, NetError>& download)
{
    m_downloader->deleteLater();
    m_downloader = nullptr;
    if (m_cancelled || !download.ok()) {
        finish(m_cancelled ? ToolError::cancellation() : NetworkErrors::downloadError(download.error()));
        return;
    }
    m_archive = download.value();
    m_step = Step::verify;
    emit progress(downloadShare, u"Checking..."_s);
    m_digest.setFuture(QtConcurrent::run(&ToolInstaller::sha256, m_archive, &m_cancelled));
}

void ToolInstaller::onVerified()
{
    const Result<QString, ToolError> digest = m_digest.result();
    if (m_cancelled) {
        finish(ToolError::cancellation());
        return;
    }
    if (!digest.ok()) {
        finish(digest.error());
        return;
    }
    if (digest.value() != m_expectedSum) {
        finish(ToolError{u"The downloaded ffmpeg did not match its published checksum, so it was not installed."_s});
        return;
    }
    // Beside the tool folder, so that the finished programs move into place by renaming.
    const QString folder
        = AppPaths::supportDir() + u"/tw-unpack-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (!QDir().mkdir(folder)) {
        finish(ToolError{u"Could not make a temporary folder to unpack ffmpeg."_s});
        return;
    }
    m_stagingDir = folder;
    m_step = Step::unpack;
    emit progress((1 + downloadShare) / 2, u"Unpacking..."_s);
    m_unpack.setFuture(QtConcurrent::run(
        [archive = m_archive, folder, this] { return ToolArchive::unpack(archive, folder, tools(), m_cancelled); }));
}

void ToolInstaller::onUnpacked()
{
    const Result<void, ToolError> unpacked = m_unpack.result();
    if (m_cancelled) {
        finish(ToolError::cancellation());
        return;
    }
    if (!unpacked.ok()) {
        finish(unpacked.error());
        return;
    }
    m_step = Step::startCheck;
    m_checked = 0;
    m_versionOutputs.clear();
    startCheck();
}

// Each new program must answer -version before it is put in place; it runs confined, like a plan's steps.
void ToolInstaller::startCheck()
{
    SandboxPolicy starting;
    starting.program = m_stagingDir + u'/' + tools().at(m_checked);
    m_process = new ProcessJob(this);
    m_process->setSandbox(Sandbox(starting));
    m_process->setDeadline(startCheckTimeoutMs);
    connect(m_process, &ProcessJob::finished, this, &ToolInstaller::onStartChecked);
    m_process->start(starting.program, {u"-version"_s});
}

void ToolInstaller::onStartChecked(const ProcResult& result)
{
    m_process->deleteLater();
    m_process = nullptr;
    if (m_cancelled) {
        finish(ToolError::cancellation());
        return;
    }
    if (result.status != 0) {
        finish(ToolError{tools().at(m_checked) + u" was installed but would not start: "_s + result.err.trimmed()});
        return;
    }
    m_versionOutputs << result.out;
    if (++m_checked < tools().size()) {
        startCheck();
        return;
    }
    publish();
}

void ToolInstaller::publish()
{
    const auto mode0755 = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::ExeOther;
    for (qsizetype i = 0; i < tools().size(); ++i) {
        const QString staged = m_stagingDir + u'/' + tools().at(i);
        const QString target = AppPaths::binDir() + u'/' + tools().at(i);
        // The earlier copy is replaced; a file that appears in its place meanwhile is not.
        QFile::remove(target);
        const Result<void, PlanError> moved = NoReplace::move(staged, target);
        if (!moved.ok()) {
            finish(ToolError{u"Could not install "_s + tools().at(i) + u": "_s + moved.error().message});
            return;
        }
        if (!QFile::setPermissions(target, mode0755)) {
            finish(ToolError{u"Could not install "_s + tools().at(i) + u"."_s});
            return;
        }
        FFmpegTools::noteAnswer(target, true, m_versionOutputs.at(i));
    }
    emit progress(1.0, u"Done"_s);
    finish({});
}

void ToolInstaller::finish(const Result<void, ToolError>& result)
{
    removeTemporaryFiles();
    m_step = Step::idle;
    emit finished(result);
}

void ToolInstaller::removeTemporaryFiles()
{
    if (!m_archive.isEmpty()) {
        QFile::remove(m_archive);
        m_archive.clear();
    }
    if (!m_stagingDir.isEmpty()) {
        QDir(m_stagingDir).removeRecursively();
        m_stagingDir.clear();
    }
}
