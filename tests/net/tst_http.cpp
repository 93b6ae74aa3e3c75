#include "JobWaiter.h"
#include "LocalHttpServer.h"
#include "TestMain.h"
#include "net/HttpExchange.h"

#include <QTcpServer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The smallest owner of an exchange, so the tests see exactly what a job sees.
class Exchange : public QObject
{
    Q_OBJECT

public:
    explicit Exchange(HttpRequest request)
        : m_request(std::move(request))
        , m_http(this)
    {
    }
    void start()
    {
        m_http.send(m_request, [this](const HttpResult& result) { emit finished(result); });
    }
    HttpExchange& http() { return m_http; }

signals:
    void finished(const HttpResult& result);

private:
    HttpRequest m_request;
    HttpExchange m_http;
};

HttpRequest get(const QUrl& url, int timeoutMs = 5000)
{
    HttpRequest request;
    request.url = url;
    request.timeoutMs = timeoutMs;
    return request;
}

NetError errorOf(const std::optional<HttpResult>& result)
{
    if (!result || result->ok()) {
        return {NetError::Kind::unreachable, u"(no error)"_s};
    }
    return result->error();
}

} // namespace

class TestHttp : public QObject
{
    Q_OBJECT

private slots:
    void noStatusIsAnErrorByItself_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("404") << 404;
        QTest::newRow("500") << 500;
        QTest::newRow("200") << 200;
    }
    void noStatusIsAnErrorByItself()
    {
        QFETCH(int, status);
        LocalHttpServer server;
        server.route("/x", [status](const auto&) { return LocalHttpServer::Reply::text("{\"error\":1}", status); });
        Exchange exchange(get(server.url().resolved(QUrl(u"/x"_s))));
        const auto result = runJob<HttpResult>(exchange);
        QVERIFY(result);
        QCOMPARE(result->value(), (HttpResponse{"{\"error\":1}", status}));
    }

    void redirectsAreFollowedUpToALimit()
    {
        LocalHttpServer server;
        server.route("/a", LocalHttpServer::Reply::redirect("/b"));
        server.route("/b", LocalHttpServer::Reply::text("here"));
        server.route("/loop", LocalHttpServer::Reply::redirect("/loop"));
        Exchange followed(get(server.url().resolved(QUrl(u"/a"_s))));
        QCOMPARE(runJob<HttpResult>(followed)->value(), (HttpResponse{"here", 200}));
        Exchange looping(get(server.url().resolved(QUrl(u"/loop"_s))));
        QCOMPARE(errorOf(runJob<HttpResult>(looping)).kind, NetError::Kind::unreachable);
        QCOMPARE(server.requests("/loop").size(), HttpExchange::maxRedirects + 1);
    }

    void failures_data()
    {
        QTest::addColumn<LocalHttpServer::Reply>("reply");
        QTest::addColumn<NetError::Kind>("kind");
        QTest::addColumn<QString>("description");
        QTest::newRow("never answers") << LocalHttpServer::Reply::hang() << NetError::Kind::timedOut
                                       << u"The request timed out."_s;
        QTest::newRow("closes mid-body") << LocalHttpServer::Reply::closeMidBody(QByteArray(100000, 'x'))
                                         << NetError::Kind::unreachable << QString();
        QTest::newRow("not HTTP") << LocalHttpServer::Reply::notHttp("\x01\x02garbage\r\n\r\n")
                                  << NetError::Kind::unreachable << QString();
        QTest::newRow("above the cap") << LocalHttpServer::Reply::text(QByteArray(64 * 1024 + 1, 'a'))
                                       << NetError::Kind::tooLarge << u"The answer was larger than 64 kB."_s;
    }
    void failures()
    {
        QFETCH(LocalHttpServer::Reply, reply);
        QFETCH(NetError::Kind, kind);
        QFETCH(QString, description);
        LocalHttpServer server;
        server.route("/x", [reply](const auto&) { return reply; });
        // The deadline is short only where it is what ends the exchange; a busy machine may be slow otherwise.
        HttpRequest request = get(server.url().resolved(QUrl(u"/x"_s)), kind == NetError::Kind::timedOut ? 300 : 10000);
        request.maxBodyBytes = 64 * 1024;
        Exchange exchange(request);
        const NetError error = errorOf(runJob<HttpResult>(exchange));
        QCOMPARE(error.kind, kind);
        if (description.isEmpty()) {
            QVERIFY2(!error.description.isEmpty() && error.sentence().endsWith(u'.'), qPrintable(error.description));
        } else {
            QCOMPARE(error.description, description);
        }
    }

    void refusedConnectionAndBadAddress()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        Exchange refused(get(QUrl(u"http://127.0.0.1:%1/x"_s.arg(port))));
        QCOMPARE(errorOf(runJob<HttpResult>(refused)),
                 (NetError{NetError::Kind::unreachable, u"Connection refused"_s}));
        Exchange nowhere(get(QUrl(u"file:///etc/passwd"_s)));
        QCOMPARE(errorOf(runJob<HttpResult>(nowhere)).kind, NetError::Kind::badAddress);
    }

    void abortIsSilentAndCancelReports()
    {
        LocalHttpServer server;
        server.route("/x", [](const auto&) { return LocalHttpServer::Reply::hang(); });
        Exchange exchange(get(server.url().resolved(QUrl(u"/x"_s))));
        QList<HttpResult> reports;
        connect(&exchange, &Exchange::finished, this, [&](const HttpResult& result) { reports << result; });
        exchange.start();
        QTRY_COMPARE(server.requests().size(), 1);
        exchange.http().abort();
        QTRY_COMPARE(server.openConnections(), 0);
        QTest::qWait(50);
        QVERIFY(reports.isEmpty());

        exchange.start();
        QTRY_COMPARE(server.requests().size(), 2);
        exchange.http().cancel();
        exchange.http().cancel();
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.first().error().kind, NetError::Kind::cancelled);
        QTRY_COMPARE(server.openConnections(), 0);
    }
};

TRELLICK_TEST_MAIN(TestHttp)
#include "tst_http.moc"
