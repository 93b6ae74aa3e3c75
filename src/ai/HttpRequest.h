#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <utility>

// One request of the AI path, with its own time-out.
struct HttpRequest
{
    QByteArray method = "GET";
    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    int timeoutMs = 30'000;
};
