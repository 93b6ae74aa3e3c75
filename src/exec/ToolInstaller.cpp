#include "ToolInstaller.h"

#include "NetworkErrors.h"
#include "base/AppPaths.h"
#include "base/ProcessJob.h"
#include "base/Sentence.h"
#include "net/FileDownload.h"
#include "plans/SystemTools.h"
#include "platform/Sandbox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QLocale>
#include <QStringDecoder>
#include <QSysInfo>
#include <QUuid>
#include <QtConcurrent>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 digestChunk = 4 * 1024 * 1024;
constexpr int checksumTimeoutMs = 30000;
constexpr qint64 checksumMaxBytes = 64 * 1024;
constexpr int unpackTimeoutMs = 300000;
constexpr int startCheckTimeoutMs = 60000;

// The build server's folder for this system, in place of "macos/arm64".
QString platformSegment()
{
    const QString arch = QSysInfo::buildCpuArchitecture();
    if (arch == u"x86_64"_s) {
        return u"linux/amd64"_s;
    }
    return u"linux/"_s + arch;
}

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

// The tool as a plain file anywhere in the unpacked folder: the shallowest one, so that a folder
// named like the tool, or a link planted in the archive, is never taken for it.
QString findTool(const QString& folder, const QString& tool)
{
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileName() == tool) {
            found << it.filePath();
        }
    }
    std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) {
        const auto depthA = a.count(u'/');
        const auto depthB = b.count(u'/');
        return depthA != depthB ? depthA < depthB : a < b;
    });
    return found.value(0);
}

} // namespace

ToolInstaller::ToolInstaller(QObject* parent)
    : QObject(parent)
    , m_checksum(this)
{
    connect(&m_digest, &QFutureWatcherBase::finished, this, &ToolInstaller::onVerified);
}

ToolInstaller::~ToolInstaller()
{
    removeTemporaryFiles();
}

QStringList ToolInstaller::bases()
{
    QString server = qEnvironmentVariable("TRELLICK_FFMPEG_SERVER");
    if (server.isEmpty()) {
        server = QStringLiteral(TRELLICK_FFMPEG_SERVER);
    }
    while (server.endsWith(u'/')) {
        server.chop(1);
    }
    const QString platform = platformSegment();
    return {server + u"/download/"_s + platform + u"/1789931890_9.0.2/"_s,
            server + u"/redirect/latest/"_s + platform + u"/release/"_s};
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
    m_bases = bases();
    m_base = 0;
    startBase();
}

void ToolInstaller::cancel()
{
    if (m_step == Step::idle) {
        return;
    }
    m_cancelled = true;
    // Aborting finishes the reply at once, stopping a child soon after; the step's handler then ends the
    // install as cancelled. Hashing is not interrupted; its end sees the flag.
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

Result<QString, ToolError> ToolInstaller::parseChecksum(const QByteArray& body)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(body);
    if (decoder.hasError()) {
        return ToolError{u"Could not read the published checksum."_s};
    }
    static const QRegularExpression separators(u"[ \\n\\t]+"_s);
    for (const QString& piece : text.split(separators, Qt::SkipEmptyParts)) {
        const QString lower = piece.toLower();
        if (isLowerHex64(lower)) {
            return lower;
        }
    }
    return ToolError{u"The checksum file was not in the expected format."_s};
}

Result<QString, ToolError> ToolInstaller::sha256(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return ToolError{asSentence(file.errorString())};
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (;;) {
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

void ToolInstaller::startBase()
{
    m_tool = 0;
    startTool();
}

void ToolInstaller::startTool()
{
    if (m_cancelled) {
        failBase(ToolError::cancellation());
        return;
    }
    const QString base = m_bases.at(m_base);
    const auto checksumUrl = downloadUrl(base + tool() + u".zip.sha256"_s);
    if (!checksumUrl || !downloadUrl(base + tool() + u".zip"_s)) {
        failBase(ToolError{u"Bad download address."_s});
        return;
    }
    m_step = Step::checksum;
    emit progress(m_tool * 0.5, u"Reading the published checksum for "_s + tool() + u"..."_s);

    HttpRequest request;
    request.url = *checksumUrl;
    request.timeoutMs = checksumTimeoutMs;
    // A checksum file is a line; anything much longer is not one, and is not read to its end.
    request.maxBodyBytes = checksumMaxBytes;
    m_checksum.send(request, [this](const HttpResult& answer) { onChecksum(answer); });
}

void ToolInstaller::onChecksum(const HttpResult& answer)
{
    if (m_cancelled) {
        failBase(ToolError::cancellation());
        return;
    }
    if (!answer.ok()) {
        failBase(NetworkErrors::checksumError(answer.error()));
        return;
    }
    if (answer.value().status != 200) {
        failBase(ToolError{u"Could not read the published checksum."_s});
        return;
    }
    const Result<QString, ToolError> sum = parseChecksum(answer.value().body);
    if (!sum.ok()) {
        failBase(sum.error());
        return;
    }
    m_expectedSum = sum.value();

    m_step = Step::download;
    m_downloader = new FileDownload(this);
    connect(m_downloader, &FileDownload::progress, this, [this](double fraction, qint64 bytes) {
        emit progress((m_tool + fraction) * 0.5,
                      u"Downloading "_s + tool() + u"... "_s
                          + QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat));
    });
    connect(m_downloader, &FileDownload::finished, this, &ToolInstaller::onDownloaded);
    m_downloader->start(*downloadUrl(m_bases.at(m_base) + tool() + u".zip"_s));
}

void ToolInstaller::onDownloaded(const Result<QString, NetError>& download)
{
    m_downloader->deleteLater();
    m_downloader = nullptr;
    if (m_cancelled || !download.ok()) {
        failBase(m_cancelled ? ToolError::cancellation() : NetworkErrors::downloadError(download.error()));
        return;
    }
    const QString path = download.value();
    m_archive = path;
    m_step = Step::verify;
    emit progress((m_tool + 1) * 0.5, u"Checking "_s + tool() + u"..."_s);
    m_digest.setFuture(QtConcurrent::run(&ToolInstaller::sha256, path));
}

void ToolInstaller::onVerified()
{
    const Result<QString, ToolError> digest = m_digest.result();
    if (m_cancelled) {
        failBase(ToolError::cancellation());
        return;
    }
    if (!digest.ok()) {
        failBase(digest.error());
        return;
    }
    if (digest.value() != m_expectedSum) {
        failBase(ToolError{u"The downloaded "_s + tool()
                           + u" did not match its published checksum, so it was not installed."_s});
        return;
    }
    const QString folder
        = QDir::tempPath() + u"/tw-unzip-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (!QDir().mkdir(folder)) {
        failBase(ToolError{u"Could not make a temporary folder to unpack "_s + tool() + u'.'});
        return;
    }
    m_unpackDir = folder;
    m_step = Step::unpack;
    // The archive came from the network: ditto may read it and write into its own folder, nothing else.
    SandboxPolicy unpacking;
    unpacking.program = SystemTools::path(u"ditto"_s);
    unpacking.readPaths = {m_archive};
    unpacking.ownFolders = {m_unpackDir};
    unpacking.fileSizeLimit = SandboxPolicy::fileSizeLimitFor(QFileInfo(m_archive).size());
    runProcess(unpacking.program, {u"-x"_s, u"-k"_s, m_archive, m_unpackDir}, Sandbox(unpacking), unpackTimeoutMs,
               &ToolInstaller::onUnpacked);
}

void ToolInstaller::runProcess(const QString& program, const QStringList& args, const Sandbox& sandbox, int deadlineMs,
                               void (ToolInstaller::*then)(const ProcResult&))
{
    m_process = new ProcessJob(this);
    m_process->setSandbox(sandbox);
    m_process->setDeadline(deadlineMs);
    connect(m_process, &ProcessJob::finished, this, [this, then](const ProcResult& result) {
        m_process->deleteLater();
        m_process = nullptr;
        (this->*then)(result);
    });
    m_process->start(program, args);
}

void ToolInstaller::onUnpacked(const ProcResult& result)
{
    if (m_cancelled) {
        failBase(ToolError::cancellation());
        return;
    }
    if (result.status != 0) {
        failBase(ToolError{u"Could not unpack "_s + tool() + u": "_s + result.err.trimmed()});
        return;
    }
    const QString found = findTool(m_unpackDir, tool());
    if (found.isEmpty()) {
        failBase(ToolError{u"The download did not contain "_s + tool() + u'.'});
        return;
    }
    const QString target = AppPaths::binDir() + u'/' + tool();
    QFile::remove(target);
    QFile file(found);
    if (!file.rename(target)) {
        failBase(ToolError{u"Could not install "_s + tool() + u": "_s + asSentence(file.errorString())});
        return;
    }
    const auto mode0755 = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::ExeOther;
    if (!file.setPermissions(mode0755)) {
        failBase(ToolError{u"Could not install "_s + tool() + u": "_s + asSentence(file.errorString())});
        return;
    }
    // There is no download quarantine mark and no signing on this system.
    removeTemporaryFiles();
    if (++m_tool < tools().size()) {
        startTool();
        return;
    }
    m_step = Step::startCheck;
    SandboxPolicy starting;
    starting.program = AppPaths::binDir() + u"/ffmpeg"_s;
    runProcess(starting.program, {u"-version"_s}, Sandbox(starting), startCheckTimeoutMs,
               &ToolInstaller::onStartChecked);
}

void ToolInstaller::onStartChecked(const ProcResult& result)
{
    if (m_cancelled) {
        failBase(ToolError::cancellation());
        return;
    }
    if (result.status != 0) {
        failBase(ToolError{u"ffmpeg was installed but would not start: "_s + result.err.trimmed()});
        return;
    }
    emit progress(1.0, u"Done"_s);
    finish({});
}

void ToolInstaller::failBase(const ToolError& error)
{
    removeTemporaryFiles();
    if (m_cancelled) {
        finish(ToolError::cancellation());
    } else if (++m_base < m_bases.size()) {
        startBase();
    } else {
        finish(error);
    }
}

void ToolInstaller::finish(const Result<void, ToolError>& result)
{
    m_step = Step::idle;
    emit finished(result);
}

void ToolInstaller::removeTemporaryFiles()
{
    if (!m_archive.isEmpty()) {
        QFile::remove(m_archive);
        m_archive.clear();
    }
    if (!m_unpackDir.isEmpty()) {
        QDir(m_unpackDir).removeRecursively();
        m_unpackDir.clear();
    }
}
