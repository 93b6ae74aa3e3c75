#include "JobWaiter.h"
#include "LocalHttpServer.h"
#include "TestMain.h"
#include "net/FileDownload.h"
#include "net/HttpExchange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>
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

using Download = Result<QString, NetError>;

// One exchange as a job sees it, and downloads to a file, against a local server.
class TestHttp : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp; // the system temporary folder during each test, to see what is left in it
    LocalHttpServer* m_server = nullptr;

    QStringList leftovers() const { return QDir(m_tmp.path()).entryList(QDir::Files | QDir::NoDotAndDotDot); }
    QUrl url(const char* path) const { return m_server->url().resolved(QUrl(QString::fromLatin1(path))); }

    // Runs `download` to its end; a second report would be a fault.
    static Download run(FileDownload& download, const QUrl& url)
    {
        QList<Download> reports;
        connect(&download, &FileDownload::finished, &download, [&](const Download& result) { reports << result; });
        download.start(url);
        if (!QTest::qWaitFor([&] { return !reports.isEmpty(); }, 10000)) {
            return NetError{NetError::Kind::unreachable, u"no finish"_s};
        }
        download.cancel();
        QTest::qWait(20);
        return reports.size() == 1 ? reports.first() : NetError{NetError::Kind::unreachable, u"two finishes"_s};
    }

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
        m_server->route("/x", [status](const auto&) { return LocalHttpServer::Reply::text("{\"error\":1}", status); });
        Exchange exchange(get(url("/x")));
        const auto result = runJob<HttpResult>(exchange);
        QVERIFY(result);
        QCOMPARE(result->value(), (HttpResponse{"{\"error\":1}", status}));
    }

    void redirectsAreFollowedUpToALimit()
    {
        m_server->route("/a", LocalHttpServer::Reply::redirect("/b"));
        m_server->route("/b", LocalHttpServer::Reply::text("here"));
        m_server->route("/loop", LocalHttpServer::Reply::redirect("/loop"));
        Exchange followed(get(url("/a")));
        QCOMPARE(runJob<HttpResult>(followed)->value(), (HttpResponse{"here", 200}));
        Exchange looping(get(url("/loop")));
        QCOMPARE(errorOf(runJob<HttpResult>(looping)).kind, NetError::Kind::unreachable);
        QCOMPARE(m_server->requests("/loop").size(), HttpExchange::maxRedirects + 1);
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
        m_server->route("/x", [reply](const auto&) { return reply; });
        // The deadline is short only where it is what ends the exchange; a busy machine may be slow otherwise.
        HttpRequest request = get(url("/x"), kind == NetError::Kind::timedOut ? 300 : 10000);
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
        m_server->route("/x", [](const auto&) { return LocalHttpServer::Reply::hang(); });
        Exchange exchange(get(url("/x")));
        QList<HttpResult> reports;
        connect(&exchange, &Exchange::finished, this, [&](const HttpResult& result) { reports << result; });
        exchange.start();
        QTRY_COMPARE(m_server->requests().size(), 1);
        exchange.http().abort();
        QTRY_COMPARE(m_server->openConnections(), 0);
        QTest::qWait(50);
        QVERIFY(reports.isEmpty());

        exchange.start();
        QTRY_COMPARE(m_server->requests().size(), 2);
        exchange.http().cancel();
        exchange.http().cancel();
        QCOMPARE(reports.size(), 1);
        QCOMPARE(reports.first().error().kind, NetError::Kind::cancelled);
        QTRY_COMPARE(m_server->openConnections(), 0);
    }

    void init()
    {
        QVERIFY(m_tmp.isValid());
        qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
        m_server = new LocalHttpServer(this);
    }
    void cleanup()
    {
        delete m_server;
        for (const QString& name : leftovers()) {
            QFile::remove(m_tmp.filePath(name));
        }
    }

    void streamsTheBodyToATemporaryFileWithProgress()
    {
        const QByteArray body = QByteArray(300000, 'z') + "end";
        m_server->route("/a.zip", LocalHttpServer::Reply::redirect("/b.zip"));
        // Qt reports download progress at most every 100 ms: the chunks come slower than that.
        m_server->route("/b.zip", LocalHttpServer::Reply::slowly(body, 64 * 1024, 150));
        FileDownload download;
        QList<double> fractions;
        connect(&download, &FileDownload::progress, this, [&](double fraction, qint64) { fractions << fraction; });
        const Download result = run(download, url("/a.zip"));
        QVERIFY2(result.ok(), result.ok() ? "" : qPrintable(result.error().description));
        QCOMPARE(QFileInfo(result.value()).dir().path(), m_tmp.path());
        QFile file(result.value());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), body);
        QVERIFY(fractions.size() > 1);
        QVERIFY(std::is_sorted(fractions.begin(), fractions.end()));
        QCOMPARE(fractions.last(), 1.0);
    }

    void failuresLeaveNoFile_data()
    {
        QTest::addColumn<LocalHttpServer::Reply>("reply");
        QTest::addColumn<NetError::Kind>("kind");
        QTest::addColumn<int>("status");
        QTest::newRow("not found") << LocalHttpServer::Reply::text("missing", 404) << NetError::Kind::status << 404;
        QTest::newRow("cut off") << LocalHttpServer::Reply::closeMidBody(QByteArray(200000, 'x'))
                                 << NetError::Kind::unreachable << 200;
    }
    void failuresLeaveNoFile()
    {
        QFETCH(LocalHttpServer::Reply, reply);
        QFETCH(NetError::Kind, kind);
        QFETCH(int, status);
        m_server->route("/f", reply);
        FileDownload download;
        const Download result = run(download, url("/f"));
        QVERIFY(!result.ok());
        QCOMPARE(result.error().kind, kind);
        if (kind == NetError::Kind::status) {
            QCOMPARE(result.error().status, status);
        }
        QCOMPARE(leftovers(), QStringList());
    }

    void cancelInTheMiddleEndsAtOnceAndRemovesThePartialFile()
    {
        m_server->route("/slow", LocalHttpServer::Reply::slowly(QByteArray(1000000, 'q'), 1024, 20));
        FileDownload download;
        connect(&download, &FileDownload::progress, this, [&](double, qint64 bytes) {
            if (bytes > 4096) {
                download.cancel();
            }
        });
        const Download result = run(download, url("/slow"));
        QVERIFY(!result.ok());
        QCOMPARE(result.error().kind, NetError::Kind::cancelled);
        QCOMPARE(leftovers(), QStringList());
    }
};

TRELLICK_TEST_MAIN(TestHttp)
#include "tst_http.moc"
