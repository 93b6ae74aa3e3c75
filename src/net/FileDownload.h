#pragma once

#include "NetError.h"
#include "base/Result.h"

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <optional>

class QNetworkReply;

// Streams one file into the system's temporary folder, with progress, cancellable at any moment. Only
// the body of a final answer of status 200 is the file; it is never held in memory.
class FileDownload : public QObject
{
    Q_OBJECT

public:
    explicit FileDownload(QObject* parent = nullptr);
    // A download still under way is stopped and its partial file removed.
    ~FileDownload() override;

    // Starts the download; `finished` follows exactly once.
    void start(const QUrl& url);
    // Ends the download under way at once with the kind `cancelled`; does nothing once it has finished.
    void cancel();

    // Milliseconds without any data after which a download is given up.
    static constexpr int stallTimeoutMs = 60000;
    // Files above this size are refused, so that a server cannot fill the disk.
    static constexpr qint64 maxBytes = 2LL * 1024 * 1024 * 1024;

signals:
    // fraction is 0 while the size is unknown.
    void progress(double fraction, qint64 bytesWritten);
    // The downloaded file's path (now the caller's to delete), or the error; the partial file is gone.
    void finished(const Result<QString, NetError>& download);

private:
    void onReadyRead();
    void onFinished();
    void stop(const NetError& error);
    void finish(const Result<QString, NetError>& download);

    QPointer<QNetworkReply> m_reply;
    QFile m_file;
    std::optional<NetError> m_error;
};
