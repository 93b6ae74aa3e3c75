#pragma once

#include "AIError.h"
#include "net/HttpExchange.h"

using HttpOutcome = Result<HttpResponse, AIError>;

// A job's requests on the one HTTP layer, with a failed exchange said the AI path's way: "Could not reach
// the server: " and the system's description, or "Bad address." for an address that was never sent to.
class Http
{
public:
    using Done = std::function<void(const HttpOutcome&)>;

    explicit Http(QObject* job)
        : m_exchange(job)
    {
    }

    // Starts `request`, replacing one in flight (which then never reports). `done` is called once, later,
    // on the job's thread.
    void send(const HttpRequest& request, Done done);
    // Drops the request in flight without calling back.
    void abort() { m_exchange.abort(); }

    static AIError error(const NetError& error);

private:
    HttpExchange m_exchange;
};
