#pragma once

#include "ToolError.h"
#include "base/Result.h"

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// Downloads one file into the system's temporary folder, with progress, cancellable at any moment.
// Redirects are followed by the network manager; only a final answer of status 200 counts.
class FileDownloader : public QObject
{
    Q_OBJECT

public:
    FileDownloader(QNetworkAccessManager* network, QObject* parent = nullptr);
    // A download still under way is stopped and its partial file removed.
    ~FileDownloader() override;

    // Starts the download; `finished` follows exactly once.
    void start(const QUrl& url);
    // Ends the download under way with a cancellation; does nothing once it has finished.
    void cancel();

    // Seconds without any data after which a download is given up.
    static constexpr int stallTimeoutMs = 60000;

signals:
    // fraction is 0 while the size is unknown.
    void progress(double fraction, qint64 bytesWritten);
    // The downloaded file's path (now the caller's to delete), or the error.
    void finished(const Result<QString, ToolError>& download);

private:
    void onReadyRead();
    void onFinished();
    void finish(const Result<void, ToolError>& result);

    QNetworkAccessManager* m_network;
    QPointer<QNetworkReply> m_reply;
    QFile m_file;
    std::optional<ToolError> m_writeError;
    bool m_cancelled = false;
};
