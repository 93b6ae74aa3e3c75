#pragma once

#include <QMetaType>
#include <QString>

// Why a request or a download failed, before any caller has put it in its own words: `kind` is for
// deciding, `description` is the system's description ("Connection refused") and `sentence()` the same
// as one sentence for the user.
struct NetError
{
    enum class Kind {
        badAddress, // not an http(s) address with a host: nothing was sent
        unreachable, // no answer: refused, unknown host, cut connection, not HTTP, too many redirects
        timedOut,
        tooLarge, // the answer passed the size cap and was not read to its end
        status, // an HTTP answer whose status the caller does not take (downloads take only 200)
        notSaved, // the download could not be written to disk
        cancelled, // the caller's own stop
    };

    Kind kind = Kind::unreachable;
    QString description;
    int status = 0; // the HTTP status of the final answer, 0 when there was none

    QString sentence() const;

    bool operator==(const NetError&) const = default;
};

Q_DECLARE_METATYPE(NetError)
