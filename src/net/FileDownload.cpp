#include "FileDownload.h"

#include "HttpExchange.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

int statusOf(const QNetworkReply* reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

} // namespace

FileDownload::FileDownload(QObject* parent)
    : QObject(parent)
{
}

FileDownload::~FileDownload()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    if (m_file.isOpen()) {
        m_file.remove();
    }
}

void FileDownload::start(const QUrl& url)
{
    if (!HttpExchange::isFetchable(url)) {
        QTimer::singleShot(0, this, [this] { finish(NetError{NetError::Kind::badAddress, u"Bad address."_s}); });
        return;
    }
    m_file.setFileName(QDir::tempPath() + u"/tw-download-"_s
                       + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const NetError error{NetError::Kind::notSaved, m_file.errorString()};
        QTimer::singleShot(0, this, [this, error] { finish(error); });
        return;
    }
    m_reply = HttpExchange::manager().get(HttpExchange::networkRequest(url, stallTimeoutMs));
    m_reply->setParent(this);
    connect(m_reply, &QNetworkReply::readyRead, this, &FileDownload::onReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (m_error || statusOf(m_reply) != 200) {
            return;
        }
        if (total > maxBytes) {
            stop(HttpExchange::tooLarge(maxBytes));
            return;
        }
        const double fraction = total > 0 ? std::clamp(double(received) / double(total), 0.0, 1.0) : 0.0;
        emit progress(fraction, received);
    });
    connect(m_reply, &QNetworkReply::finished, this, &FileDownload::onFinished);
}

void FileDownload::cancel()
{
    if (m_reply && !m_reply->isFinished()) {
        stop({NetError::Kind::cancelled, u"The download was cancelled."_s});
    }
}

void FileDownload::onReadyRead()
{
    const QByteArray chunk = m_reply->readAll();
    // Only the body of the final answer is the file; an error page is read and dropped.
    if (statusOf(m_reply) != 200 || m_error) {
        return;
    }
    if (m_file.size() + chunk.size() > maxBytes) {
        stop(HttpExchange::tooLarge(maxBytes));
    } else if (m_file.write(chunk) != chunk.size()) {
        stop({NetError::Kind::notSaved, m_file.errorString()});
    }
}

void FileDownload::stop(const NetError& error)
{
    m_error = error;
    // Aborting finishes the reply at once, and onFinished reports the error.
    m_reply->abort();
}

void FileDownload::onFinished()
{
    if (m_error) {
        finish(*m_error);
    } else if (const int status = statusOf(m_reply); status != 0 && status != 200) {
        finish(NetError{NetError::Kind::status, u"The server answered with status %1."_s.arg(status), status});
    } else if (m_reply->error() != QNetworkReply::NoError) {
        finish(HttpExchange::transportError(*m_reply));
    } else {
        onReadyRead();
        finish(m_error ? Result<QString, NetError>(*m_error) : Result<QString, NetError>(m_file.fileName()));
    }
}

void FileDownload::finish(const Result<QString, NetError>& download)
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    if (download.ok()) {
        m_file.close();
    } else {
        m_file.remove();
    }
    emit finished(download);
}
