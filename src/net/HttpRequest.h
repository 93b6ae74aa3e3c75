#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <utility>

// One request, with its own time-out and the most it will hold of the answer.
struct HttpRequest
{
    QByteArray method = "GET";
    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // Bounds the whole exchange, so that a server that trickles bytes ends like one that never answers.
    int timeoutMs = 30'000;
    // Bodies above this size are refused rather than held in memory.
    qint64 maxBodyBytes = 64LL * 1024 * 1024;
};
