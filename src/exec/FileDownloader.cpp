#include "FileDownloader.h"

#include "NetworkErrors.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUuid>

using namespace Qt::StringLiterals;

FileDownloader::FileDownloader(QNetworkAccessManager* network, QObject* parent)
    : QObject(parent)
    , m_network(network)
{
}

FileDownloader::~FileDownloader()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    if (m_file.isOpen()) {
        m_file.remove();
    }
}

void FileDownloader::start(const QUrl& url)
{
    m_file.setFileName(QDir::tempPath() + u"/tw-download-"_s
                       + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const ToolError error{u"Could not save the download: "_s + NetworkErrors::sentence(m_file.errorString())};
        QTimer::singleShot(0, this, [this, error] { finish(error); });
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(stallTimeoutMs);
    m_reply = m_network->get(request);
    m_reply->setParent(this);
    connect(m_reply, &QNetworkReply::readyRead, this, &FileDownloader::onReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        const double fraction = total > 0 ? std::clamp(double(received) / double(total), 0.0, 1.0) : 0.0;
        emit progress(fraction, received);
    });
    connect(m_reply, &QNetworkReply::finished, this, &FileDownloader::onFinished);
}

void FileDownloader::cancel()
{
    if (!m_reply || m_reply->isFinished()) {
        return;
    }
    m_cancelled = true;
    m_reply->abort();
}

void FileDownloader::onReadyRead()
{
    const QByteArray chunk = m_reply->readAll();
    // Only the body of the final answer is the file; an error page is read and dropped.
    if (NetworkErrors::httpStatus(m_reply) != 200 || m_writeError) {
        return;
    }
    if (m_file.write(chunk) != chunk.size()) {
        m_writeError = ToolError{u"Could not save the download: "_s + NetworkErrors::sentence(m_file.errorString())};
        m_reply->abort();
    }
}

void FileDownloader::onFinished()
{
    if (m_cancelled) {
        finish(ToolError::cancellation());
    } else if (m_writeError) {
        finish(*m_writeError);
    } else if (const int status = NetworkErrors::httpStatus(m_reply); status != 0 && status != 200) {
        finish(ToolError{u"The download server answered with status "_s + QString::number(status) + u'.'});
    } else if (m_reply->error() != QNetworkReply::NoError) {
        finish(ToolError{NetworkErrors::sentence(m_reply->errorString())});
    } else {
        onReadyRead();
        finish(m_writeError ? Result<void, ToolError>(*m_writeError) : Result<void, ToolError>());
    }
}

void FileDownloader::finish(const Result<void, ToolError>& result)
{
    if (m_reply) {
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    if (!result.ok()) {
        m_file.remove();
        emit finished(result.error());
        return;
    }
    m_file.close();
    emit finished(m_file.fileName());
}
