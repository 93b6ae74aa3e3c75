#pragma once

#include "ToolError.h"
#include "base/ProcResult.h"
#include "base/Result.h"
#include "net/HttpExchange.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QStringList>

class FileDownload;
class ProcessJob;
class Sandbox;

// Downloads ffmpeg and ffprobe from the build server into the tool folder.
//
// For each tool: read the published SHA-256, download the zip archive, compare the digest, unpack it
// with the bundled ditto, take the tool out of it and install it with mode 0755. The pinned build is
// tried first and the newest release second; the ffmpeg that was installed must then start. Everything
// runs on the owner's thread except hashing, so there is no lock: `cancel` and the steps never race. The
// archive is unpacked, and the new ffmpeg started, confined like a plan's steps. Temporary files are removed at the end
// of each tool's turn, whatever happened.
class ToolInstaller : public QObject
{
    Q_OBJECT

public:
    explicit ToolInstaller(QObject* parent = nullptr);
    ~ToolInstaller() override;

    // The two download folders, in the order they are tried.
    static QStringList bases();
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

    // The first piece of a checksum file that is 64 hexadecimal digits, lower-cased: a bare sum and
    // the usual "sum  name" line both work.
    static Result<QString, ToolError> parseChecksum(const QByteArray& body);
    // The lower-case hexadecimal SHA-256 of a file, read in 4 MiB chunks. Blocks: call it off the main thread.
    static Result<QString, ToolError> sha256(const QString& path);

signals:
    // fraction from 0 to 1 across both tools, and one line on what is being done.
    void progress(double fraction, const QString& text);
    void finished(const Result<void, ToolError>& result);

private:
    enum class Step { idle, checksum, download, verify, unpack, startCheck };

    void startBase();
    void startTool();
    void onChecksum(const HttpResult& answer);
    void onDownloaded(const Result<QString, NetError>& download);
    void onVerified();
    void runProcess(const QString& program, const QStringList& args, const Sandbox& sandbox, int deadlineMs,
                    void (ToolInstaller::*then)(const ProcResult&));
    void onUnpacked(const ProcResult& result);
    void onStartChecked(const ProcResult& result);
    // Ends the current base with an error: the next base is tried unless the user cancelled.
    void failBase(const ToolError& error);
    void finish(const Result<void, ToolError>& result);
    void removeTemporaryFiles();
    QString tool() const { return tools().at(m_tool); }

    Step m_step = Step::idle;
    bool m_cancelled = false;
    QStringList m_bases;
    int m_base = 0;
    int m_tool = 0;
    QString m_expectedSum;
    QString m_archive;
    QString m_unpackDir;
    HttpExchange m_checksum;
    QPointer<FileDownload> m_downloader;
    QFutureWatcher<Result<QString, ToolError>> m_digest;
    QPointer<ProcessJob> m_process;
};
