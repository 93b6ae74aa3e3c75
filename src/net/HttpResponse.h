#pragma once

#include <QByteArray>

// The whole body and the status code (0 when the answer was not HTTP). No status is an error here.
struct HttpResponse
{
    QByteArray body;
    int status = 0;

    bool operator==(const HttpResponse&) const = default;
};
