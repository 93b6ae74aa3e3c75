#pragma once

#include "ToolError.h"
#include "base/ProcResult.h"
#include "base/Result.h"
#include "net/HttpExchange.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <atomic>

class FileDownload;
class ProcessJob;

// Downloads ffmpeg and ffprobe, as one static build for this processor, into the tool folder.
//
// Reads the release's checksum list, downloads the archive, compares its digest with the archive's own
// line, takes the two programs out of it into a staging folder beside the tool folder, starts each with
// -version (confined like a plan's steps), and only then moves them into place. Everything runs on the
// owner's thread except hashing and unpacking, which stop at `cancel` too. Temporary files are removed at
// the end, whatever happened.
class ToolInstaller : public QObject
{
    Q_OBJECT

public:
    explicit ToolInstaller(QObject* parent = nullptr);
    ~ToolInstaller() override;

    // The release folder the archive and its checksum list are read from, ending in "/".
    static QString releaseFolder();
    // The archive's file name for this processor; empty when no build is published for it.
    static QString archiveName();
    // One line on where the download comes from, for the settings window.
    static QString sourceDescription();
    // "ffmpeg", then "ffprobe".
    static const QStringList& tools();

    // Starts installing both tools; `finished` follows once. While an install is under way a second
    // call only waits for the same one to finish.
    void install();
    // Stops the install as soon as possible; it then finishes with a cancellation.
    void cancel();
    bool isInstalling() const { return m_step != Step::idle; }

    // Deletes both installed tools, ignoring errors.
    static void remove();

    // The lower-case digest on the line of a "sha256sum" list ("digest  name") that names the file.
    static Result<QString, ToolError> parseChecksum(const QByteArray& body, const QString& fileName);
    // The lower-case hexadecimal SHA-256 of a file, read in 4 MiB chunks, or a cancellation once `stop`
    // is set. Blocks: call it off the main thread.
    static Result<QString, ToolError> sha256(const QString& path, const std::atomic_bool* stop = nullptr);

signals:
    // fraction from 0 to 1, and one line on what is being done.
    void progress(double fraction, const QString& text);
    void finished(const Result<void, ToolError>& result);

private:
    enum class Step { idle, checksum, download, verify, unpack, startCheck };

    void onChecksum(const HttpResult& answer);
    void onDownloaded(const Result<QString, NetError>& download);
    void onVerified();
    void onUnpacked();
    void startCheck();
    void onStartChecked(const ProcResult& result);
    void publish();
    void finish(const Result<void, ToolError>& result);
    void removeTemporaryFiles();

    Step m_step = Step::idle;
    std::atomic_bool m_cancelled = false;
    QString m_expectedSum;
    QString m_archive;
    QString m_stagingDir;
    int m_checked = 0;
    QStringList m_versionOutputs;
    HttpExchange m_checksum;
    QPointer<FileDownload> m_downloader;
    QFutureWatcher<Result<QString, ToolError>> m_digest;
    QFutureWatcher<Result<void, ToolError>> m_unpack;
    QPointer<ProcessJob> m_process;
};
