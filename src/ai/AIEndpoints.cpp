#include "AIEndpoints.h"

using namespace Qt::StringLiterals;

#ifndef TRELLICK_OPENROUTER_URL
#error "TRELLICK_OPENROUTER_URL must be set by the build"
#endif

namespace {

constexpr int ollamaDefaultPort = 11434;

// "host:port" or "[v6]:port"; false when the text has no port part.
bool splitHostPort(const QString& hostPort, QString& host, QString& port)
{
    if (hostPort.startsWith(u'[')) {
        const qsizetype close = hostPort.indexOf(u']');
        if (close < 0 || close + 1 >= hostPort.size() || hostPort.at(close + 1) != u':') {
            return false;
        }
        host = hostPort.mid(1, close - 1);
        port = hostPort.mid(close + 2);
        return true;
    }
    if (hostPort.count(u':') != 1) {
        return false;
    }
    const qsizetype colon = hostPort.indexOf(u':');
    host = hostPort.left(colon);
    port = hostPort.mid(colon + 1);
    return true;
}

} // namespace

AIEndpoints AIEndpoints::fromEnvironment()
{
    AIEndpoints endpoints;
    const QString openRouter = qEnvironmentVariable("TRELLICK_OPENROUTER_URL");
    endpoints.openRouterBase = QUrl(openRouter.isEmpty() ? QStringLiteral(TRELLICK_OPENROUTER_URL) : openRouter);
    const QString web = qEnvironmentVariable("TRELLICK_OPENROUTER_WEB_URL");
    endpoints.openRouterWebBase = web.isEmpty() ? endpoints.openRouterBase : QUrl(web);
    endpoints.ollamaBase = ollamaBaseFrom(qEnvironmentVariable("OLLAMA_HOST"));
    return endpoints;
}

QUrl AIEndpoints::ollamaBaseFrom(const QString& ollamaHost)
{
    QString rest = ollamaHost.trimmed();
    QString scheme = u"http"_s;
    int defaultPort = ollamaDefaultPort;
    if (const qsizetype sep = rest.indexOf(u"://"_s); sep >= 0) {
        scheme = rest.left(sep).toLower();
        rest = rest.mid(sep + 3);
        defaultPort = scheme == u"https"_s ? 443 : 80;
    }
    QString path;
    if (const qsizetype slash = rest.indexOf(u'/'); slash >= 0) {
        path = rest.mid(slash);
        rest = rest.left(slash);
    }
    QString host;
    QString portText;
    int port = defaultPort;
    if (splitHostPort(rest, host, portText)) {
        bool ok = false;
        const int parsed = portText.toInt(&ok);
        if (ok && parsed >= 0 && parsed <= 65535) {
            port = parsed;
        }
    } else {
        host = rest.isEmpty() ? u"127.0.0.1"_s : rest;
        if (host.startsWith(u'[') && host.endsWith(u']')) {
            host = host.mid(1, host.size() - 2);
        }
    }
    if (host.isEmpty()) {
        host = u"127.0.0.1"_s;
    }
    QUrl url;
    url.setScheme(scheme);
    url.setHost(host, QUrl::StrictMode);
    url.setPort(port);
    url.setPath(path, QUrl::StrictMode);
    return url;
}

QUrl AIEndpoints::join(const QUrl& base, const QString& path)
{
    const QString scheme = base.scheme();
    if (!base.isValid() || base.host().isEmpty() || (scheme != u"http"_s && scheme != u"https"_s)) {
        return {};
    }
    QUrl url = base;
    QString prefix = base.path();
    while (prefix.endsWith(u'/')) {
        prefix.chop(1);
    }
    url.setPath(prefix + path);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}
