#include "JobWaiter.h"
#include "LocalHttpServer.h"
#include "TestMain.h"
#include "ai/AIEndpoints.h"
#include "ai/Http.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The smallest job around Http, so the tests see exactly what a job sees.
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
        m_http.send(m_request, [this](const HttpOutcome& outcome) { emit finished(outcome); });
    }
    void abort() { m_http.abort(); }

signals:
    void finished(const HttpOutcome& outcome);

private:
    HttpRequest m_request;
    Http m_http;
};

HttpRequest get(const QUrl& url, int timeoutMs = 5000)
{
    HttpRequest request;
    request.url = url;
    request.timeoutMs = timeoutMs;
    return request;
}

QString errorOf(const std::optional<HttpOutcome>& outcome)
{
    return outcome && !outcome->ok() ? outcome->error().message : u"(no error)"_s;
}

} // namespace

class TestHttp : public QObject
{
    Q_OBJECT

private slots:
    void ollamaHost_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("address");
        QTest::newRow("unset") << QString() << u"http://127.0.0.1:11434"_s;
        QTest::newRow("host and port") << u"192.168.1.5:8080"_s << u"http://192.168.1.5:8080"_s;
        QTest::newRow("name without port") << u"gpu-box"_s << u"http://gpu-box:11434"_s;
        QTest::newRow("http scheme defaults to 80") << u"http://gpu-box"_s << u"http://gpu-box:80"_s;
        QTest::newRow("bracketed IPv6 with port") << u"[::1]:9000"_s << u"http://[::1]:9000"_s;
        QTest::newRow("bare IPv6") << u"::1"_s << u"http://[::1]:11434"_s;
        QTest::newRow("unreadable port") << u"gpu-box:http"_s << u"http://gpu-box:11434"_s;
        QTest::newRow("path prefix") << u"http://gpu-box:8000/ollama"_s << u"http://gpu-box:8000/ollama"_s;
    }
    void ollamaHost()
    {
        QFETCH(QString, variable);
        QFETCH(QString, address);
        QCOMPARE(AIEndpoints::ollamaBaseFrom(variable).toString(), address);
    }

    void joinKeepsAPathPrefixAndRefusesOtherSchemes()
    {
        QCOMPARE(AIEndpoints::join(QUrl(u"http://h:1/base/"_s), u"/api/tags"_s).toString(),
                 u"http://h:1/base/api/tags"_s);
        QVERIFY(!AIEndpoints::join(QUrl(u"file:///etc"_s), u"/api/tags"_s).isValid());
        QVERIFY(!AIEndpoints::join(QUrl(u"not an address"_s), u"/api/tags"_s).isValid());
    }

    void environmentChoosesTheAddresses()
    {
        qputenv("TRELLICK_OPENROUTER_URL", "http://127.0.0.1:9/");
        qputenv("OLLAMA_HOST", "127.0.0.1:7");
        const AIEndpoints endpoints = AIEndpoints::fromEnvironment();
        qunsetenv("TRELLICK_OPENROUTER_URL");
        qunsetenv("OLLAMA_HOST");
        QCOMPARE(endpoints.openRouterBase, QUrl(u"http://127.0.0.1:9/"_s));
        QCOMPARE(endpoints.ollamaBase, QUrl(u"http://127.0.0.1:7"_s));
        QCOMPARE(AIEndpoints::fromEnvironment().openRouterBase.scheme(), u"https"_s);
        QCOMPARE(AIEndpoints::fromEnvironment().ollamaBase, QUrl(u"http://127.0.0.1:11434"_s));
    }

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
        const auto outcome = runJob<HttpOutcome>(exchange);
        QVERIFY(outcome);
        QCOMPARE(outcome->value(), (HttpResponse{"{\"error\":1}", status}));
    }

    void postCarriesHeadersAndBody()
    {
        LocalHttpServer server;
        server.route("/p", [](const auto&) { return LocalHttpServer::Reply::text("ok"); });
        HttpRequest request = get(server.url().resolved(QUrl(u"/p"_s)));
        request.method = "POST";
        request.headers = {{"X-Title", "Trellick"}, {"Content-Type", "application/json"}};
        request.body = "{\"a\":1}";
        Exchange exchange(request);
        QVERIFY(runJob<HttpOutcome>(exchange));
        const LocalHttpServer::Request seen = server.requests().value(0);
        QCOMPARE(seen.method, "POST");
        QCOMPARE(seen.headers.value("x-title"), "Trellick");
        QCOMPARE(seen.body, "{\"a\":1}");
    }

    void transportFailures_data()
    {
        QTest::addColumn<LocalHttpServer::Reply>("reply");
        QTest::addColumn<QString>("start");
        QTest::newRow("never answers") << LocalHttpServer::Reply::hang()
                                       << u"Could not reach the server: The request timed out."_s;
        QTest::newRow("closes mid-body") << LocalHttpServer::Reply::closeMidBody(QByteArray(100000, 'x'))
                                         << u"Could not reach the server: "_s;
        QTest::newRow("not HTTP") << LocalHttpServer::Reply::notHttp("\x01\x02garbage\r\n\r\n")
                                  << u"Could not reach the server: "_s;
    }
    void transportFailures()
    {
        QFETCH(LocalHttpServer::Reply, reply);
        QFETCH(QString, start);
        LocalHttpServer server;
        server.route("/x", [reply](const auto&) { return reply; });
        Exchange exchange(get(server.url().resolved(QUrl(u"/x"_s)), 300));
        QElapsedTimer clock;
        clock.start();
        const auto outcome = runJob<HttpOutcome>(exchange);
        QVERIFY2(errorOf(outcome).startsWith(start), qPrintable(errorOf(outcome)));
        QVERIFY(errorOf(outcome).size() > u"Could not reach the server: "_s.size());
        QVERIFY(clock.elapsed() < 5000);
    }

    void refusedConnection()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        Exchange exchange(get(QUrl(u"http://127.0.0.1:%1/x"_s.arg(port))));
        QCOMPARE(errorOf(runJob<HttpOutcome>(exchange)), u"Could not reach the server: Connection refused"_s);
    }

    void badAddress()
    {
        Exchange exchange(get(QUrl()));
        QCOMPARE(errorOf(runJob<HttpOutcome>(exchange)), u"Bad address."_s);
    }

    void aBodyAboveTheLimitIsRefused()
    {
        LocalHttpServer server;
        const QByteArray huge(Http::maxBodyBytes + 1024, 'a');
        server.route("/big", [&huge](const auto&) { return LocalHttpServer::Reply::text(huge); });
        Exchange exchange(get(server.url().resolved(QUrl(u"/big"_s)), 20000));
        QCOMPARE(errorOf(runJob<HttpOutcome>(exchange, 30000)),
                 u"Could not reach the server: The answer was larger than 64 MB."_s);
    }

    void abortDropsTheRequestSilently()
    {
        LocalHttpServer server;
        server.route("/x", [](const auto&) { return LocalHttpServer::Reply::hang(); });
        Exchange exchange(get(server.url().resolved(QUrl(u"/x"_s))));
        bool reported = false;
        connect(&exchange, &Exchange::finished, this, [&] { reported = true; });
        exchange.start();
        QTRY_COMPARE(server.requests().size(), 1);
        exchange.abort();
        QTRY_COMPARE(server.openConnections(), 0);
        QTest::qWait(50);
        QVERIFY(!reported);
    }
};

TRELLICK_TEST_MAIN(TestHttp)
#include "tst_http.moc"
