#include "Http.h"

using namespace Qt::StringLiterals;

void Http::send(const HttpRequest& request, Done done)
{
    m_exchange.send(request, [done = std::move(done)](const HttpResult& result) {
        done(result.ok() ? HttpOutcome(result.value()) : HttpOutcome(error(result.error())));
    });
}

AIError Http::error(const NetError& error)
{
    if (error.kind == NetError::Kind::badAddress) {
        return AIError{error.sentence()};
    }
    return AIError{u"Could not reach the server: "_s + error.description};
}
