#include "FakeSignIn.h"
#include "JobWaiter.h"
#include "MemoryKeychain.h"
#include "TableCheck.h"
#include "TestMain.h"
#include "ai/LoopbackServer.h"
#include "ai/OpenRouterAuth.h"
#include "platform/SecretServiceKeychain.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

using Parameters = LoopbackServer::Parameters;

namespace {

const QByteArray notFound = "HTTP/1.1 404 Not Found\r\nContent-Type: text/html; charset=utf-8\r\n"
                            "Content-Length: 26\r\nConnection: close\r\n\r\n<html><body></body></html>";

// Sends `bytes` on a new connection and returns everything the server says before it closes.
QByteArray exchange(const QHostAddress& address, quint16 port, const QByteArray& bytes)
{
    QTcpSocket socket;
    socket.connectToHost(address, port);
    if (!socket.waitForConnected(5000)) {
        return "(no connection)";
    }
    socket.write(bytes);
    QByteArray answer;
    (void)QTest::qWaitFor(
        [&] {
            answer += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        },
        5000);
    return answer + socket.readAll();
}

QByteArray get(const QByteArray& target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: localhost\r\nAccept: text/html\r\n\r\n";
}

bool accepts(const QHostAddress& address, quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(address, port);
    return socket.waitForConnected(2000);
}

const QString account = u"openrouter-api-key"_s;
const QString keyringLocked
    = u"OpenRouter gave a key, but it could not be stored in your keyring. Check that a keyring "
      "is running and unlocked, then sign in again."_s;
const QString notInTime = u"Sign-in was not finished in time. Try again."_s;

AIEndpoints endpointsFor(const FakeSignIn& service)
{
    AIEndpoints endpoints;
    endpoints.openRouterBase = service.url();
    endpoints.openRouterWebBase = service.url();
    return endpoints;
}

// The callback port of the last sign-in accepts nothing any more.
bool portClosed(const FakeSignIn& service)
{
    const auto port = quint16(QUrl(QUrlQuery(service.openedUrl()).queryItemValue(u"callback_url"_s)).port());
    return port != 0 && !accepts(QHostAddress::LocalHost, port) && !accepts(QHostAddress::LocalHostIPv6, port);
}

} // namespace

// The sign-in listener on the loopback addresses, which faces whatever connects to it, and the sign-in
// through it. Runs in a private D-Bus session with its own keyring (tests/support/with-keyring.sh): the
// browser round trip stores its key in a real Secret Service.
class TestOpenRouterAuth : public QObject
{
    Q_OBJECT

private slots:
    void parseRequest_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<Parameters>("expected");

        QTest::newRow("nothing") << QByteArray() << Parameters{};
        QTest::newRow("no line end") << "GET /callback?code=abc HTTP/1.1"_ba << Parameters{};
        QTest::newRow("one piece") << "GET\r\n\r\n"_ba << Parameters{};
        QTest::newRow("not UTF-8") << "GET /callback?code=\xff\xfe HTTP/1.1\r\n\r\n"_ba << Parameters{};
        QTest::newRow("target is no address") << "GET ht%tp:// HTTP/1.1\r\n\r\n"_ba << Parameters{};
        QTest::newRow("no query") << get("/favicon.ico") << Parameters{};
        QTest::newRow("code and state") << get("/callback?code=abc&state=xyz")
                                        << Parameters{{u"code"_s, u"abc"_s}, {u"state"_s, u"xyz"_s}};
        QTest::newRow("any method and path")
            << "POST /elsewhere?code=1 HTTP/1.0\r\n"_ba << Parameters{{u"code"_s, u"1"_s}};
        QTest::newRow("spaces between pieces")
            << "GET   /x?code=2   HTTP/1.1\r\n"_ba << Parameters{{u"code"_s, u"2"_s}};
        QTest::newRow("later item replaces")
            << get("/c?code=first&code=second") << Parameters{{u"code"_s, u"second"_s}};
        QTest::newRow("item without value")
            << get("/c?code&state=") << Parameters{{u"code"_s, QString()}, {u"state"_s, QString()}};
        QTest::newRow("percent-encoded") << get("/c?code=a%2Fb%20c") << Parameters{{u"code"_s, u"a/b c"_s}};
    }

    void parseRequest() { checkRow<QByteArray, Parameters>(&LoopbackServer::parseRequest); }

    void exactResponses()
    {
        QCOMPARE(LoopbackServer::response(false), notFound);
        const QByteArray page
            = "<html><body style='font-family:system-ui,sans-serif;text-align:center;margin-top:80px'><h2>You're "
              "signed in</h2><p>You can close this tab and go back to Trellick.</p></body></html>";
        QCOMPARE(LoopbackServer::response(true),
                 "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
                     + QByteArray::number(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
    }

    void callbackArrivesOnBothLoopbackAddresses_data()
    {
        QTest::addColumn<QHostAddress>("address");
        QTest::newRow("127.0.0.1") << QHostAddress(QHostAddress::LocalHost);
        QTest::newRow("::1") << QHostAddress(QHostAddress::LocalHostIPv6);
    }

    void callbackArrivesOnBothLoopbackAddresses()
    {
        QFETCH(QHostAddress, address);
        LoopbackServer server;
        const auto port = server.start();
        QVERIFY2(port, qPrintable(server.errorString()));
        QSignalSpy received(&server, &LoopbackServer::callbackReceived);
        server.waitForCallback();
        QVERIFY(exchange(address, *port, get("/callback?code=c0de&state=s1")).startsWith("HTTP/1.1 200 OK\r\n"));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).value<Parameters>(), (Parameters{{u"code"_s, u"c0de"_s}, {u"state"_s, u"s1"_s}}));
    }

    void earlyCallbackIsParked()
    {
        LoopbackServer server;
        const quint16 port = server.start().value();
        QVERIFY(exchange(QHostAddress::LocalHost, port, get("/callback?code=early")).startsWith("HTTP/1.1 200 OK"));
        QSignalSpy received(&server, &LoopbackServer::callbackReceived);
        QSignalSpy failed(&server, &LoopbackServer::waitFailed);
        server.stop(); // a parked callback is still handed out after the stop
        server.waitForCallback();
        QVERIFY(received.wait(5000));
        QCOMPARE(received.at(0).at(0).value<Parameters>().value(u"code"_s), u"early"_s);
        QCOMPARE(failed.size(), 0);
    }

    void secondCallbackReplacesTheParkedOne()
    {
        LoopbackServer server;
        const quint16 port = server.start().value();
        QSignalSpy received(&server, &LoopbackServer::callbackReceived);
        server.waitForCallback();
        QVERIFY(exchange(QHostAddress::LocalHost, port, get("/callback?code=one")).startsWith("HTTP/1.1 200 OK"));
        QVERIFY(exchange(QHostAddress::LocalHost, port, get("/callback?code=two")).startsWith("HTTP/1.1 200 OK"));
        QVERIFY(exchange(QHostAddress::LocalHost, port, get("/callback?code=three")).startsWith("HTTP/1.1 200 OK"));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).value<Parameters>().value(u"code"_s), u"one"_s);
        server.waitForCallback();
        QVERIFY(received.wait(5000));
        QCOMPARE(received.at(1).at(0).value<Parameters>().value(u"code"_s), u"three"_s);
    }

    void stopFailsTheWaitAndClosesThePort()
    {
        LoopbackServer server;
        const quint16 port = server.start().value();
        QTcpSocket idle; // a connection that never sends anything is closed with the port
        idle.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(idle.waitForConnected(2000));
        QSignalSpy failed(&server, &LoopbackServer::waitFailed);
        QSignalSpy received(&server, &LoopbackServer::callbackReceived);
        server.waitForCallback();
        QTest::qWait(10);
        server.stop();
        server.stop();
        QVERIFY(failed.wait(5000));
        QVERIFY(!accepts(QHostAddress::LocalHost, port));
        QVERIFY(!accepts(QHostAddress::LocalHostIPv6, port));
        QTRY_COMPARE(idle.state(), QAbstractSocket::UnconnectedState);
        // Waiting again after the stop fails at once, and only once per wait.
        server.waitForCallback();
        QVERIFY(failed.wait(5000));
        QTest::qWait(20);
        QCOMPARE(failed.size(), 2);
        QCOMPARE(received.size(), 0);
    }

    // Junk, a cut-off code and requests without a code are refused while waiting; a real callback still comes.
    void junkAndOversizedRequests()
    {
        LoopbackServer server;
        const quint16 port = server.start().value();
        QSignalSpy received(&server, &LoopbackServer::callbackReceived);
        server.waitForCallback();
        QByteArray junk(20'000, '\0');
        for (qsizetype i = 0; i < junk.size(); ++i) {
            junk[i] = char((i * 7919 + 13) % 256);
        }
        QCOMPARE(exchange(QHostAddress::LocalHost, port, junk), notFound);
        // A request line longer than one read: the code in it may be cut off, so it does not count.
        QCOMPARE(exchange(QHostAddress::LocalHost, port, get("/callback?code=" + QByteArray(9000, 'a'))), notFound);
        QCOMPARE(exchange(QHostAddress::LocalHost, port, "\r\n\r\n"), notFound);
        QCOMPARE(exchange(QHostAddress::LocalHost, port, get("/favicon.ico")), notFound);
        QCOMPARE(exchange(QHostAddress::LocalHost, port, get("/callback?state=only")), notFound);
        QTest::qWait(50);
        QCOMPARE(received.size(), 0);
        QVERIFY(exchange(QHostAddress::LocalHost, port, get("/callback?code=ok")).startsWith("HTTP/1.1 200 OK"));
        QTRY_COMPARE(received.size(), 1);
    }

    void notReachableFromOtherAddresses()
    {
        LoopbackServer server;
        const quint16 port = server.start().value();
        int tried = 0;
        for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
            if (address.isLoopback() || address.isLinkLocal()) {
                continue;
            }
            ++tried;
            QVERIFY2(!accepts(address, port), qPrintable(address.toString()));
        }
        if (tried == 0) {
            QSKIP("this machine has no address besides the loopback ones");
        }
    }

    void proofKeyValues()
    {
        const QString verifier = OpenRouterAuth::randomString(48);
        const QString state = OpenRouterAuth::randomString(16);
        QCOMPARE(verifier.size(), 64);
        QCOMPARE(state.size(), 22);
        QVERIFY(verifier != OpenRouterAuth::randomString(48));
        for (const QString& text : {verifier, state, OpenRouterAuth::challengeFor(verifier)}) {
            QVERIFY2(!text.contains(u'=') && !text.contains(u'+') && !text.contains(u'/'), qPrintable(text));
        }
        // RFC 7636, appendix B.
        QCOMPARE(OpenRouterAuth::challengeFor(u"dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"_s),
                 u"E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"_s);
    }

    void signInAddress()
    {
        QCOMPARE(OpenRouterAuth::signInUrl(QUrl(u"https://openrouter.example/"_s), 49152, u"CH"_s, u"ST"_s).toString(),
                 u"https://openrouter.example/auth?callback_url=http://localhost:49152/callback&code_challenge=CH"
                 "&code_challenge_method=S256&state=ST"_s);
        QVERIFY(!OpenRouterAuth::signInUrl(QUrl(u"file:///tmp"_s), 1, u"CH"_s, u"ST"_s).isValid());
    }

    // Every failure leaves the earlier key in place and the callback port closed.
    void failures_data()
    {
        QTest::addColumn<FakeSignIn::Browser>("browser");
        QTest::addColumn<std::optional<LocalHttpServer::Reply>>("keyReply");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("keyRequests");

        using Reply = LocalHttpServer::Reply;
        const QString noKey = u"OpenRouter would not give a key (status %1). Try signing in again."_s;
        QTest::newRow("wrong state") << FakeSignIn::Browser::redirectWithWrongState << std::optional<Reply>()
                                     << u"The sign-in answer did not match this request, so it was ignored."_s << 0;
        QTest::newRow("401") << FakeSignIn::Browser::redirect
                             << std::optional(Reply::json({{u"error"_s, u"no"_s}}, 401)) << noKey.arg(401) << 1;
        QTest::newRow("200 without key") << FakeSignIn::Browser::redirect
                                         << std::optional(Reply::json({{u"data"_s, 1}})) << noKey.arg(200) << 1;
        QTest::newRow("200 with empty key")
            << FakeSignIn::Browser::redirect << std::optional(Reply::json({{u"key"_s, u""_s}})) << noKey.arg(200) << 1;
        QTest::newRow("200 not JSON") << FakeSignIn::Browser::redirect << std::optional(Reply::text("<html>"))
                                      << noKey.arg(200) << 1;
        QTest::newRow("500 with key") << FakeSignIn::Browser::redirect
                                      << std::optional(Reply::json({{u"key"_s, u"k"_s}}, 500)) << noKey.arg(500) << 1;
        QTest::newRow("keyring locked") << FakeSignIn::Browser::redirect << std::optional<Reply>() << keyringLocked
                                        << 1;
        QTest::newRow("browser never comes back")
            << FakeSignIn::Browser::never << std::optional<Reply>() << notInTime << 0;
        QTest::newRow("browser comes back without a code")
            << FakeSignIn::Browser::withoutCode << std::optional<Reply>() << notInTime << 0;
    }

    void failures()
    {
        QFETCH(FakeSignIn::Browser, browser);
        QFETCH(std::optional<LocalHttpServer::Reply>, keyReply);
        QFETCH(QString, message);
        QFETCH(int, keyRequests);

        FakeSignIn service;
        service.setBrowser(browser);
        if (keyReply) {
            service.setKeyReply(*keyReply);
        }
        auto keychain = std::make_shared<MemoryKeychain>();
        QVERIFY(keychain->save(u"earlier"_s, account));
        keychain->setUnavailable(message == keyringLocked);
        OpenRouterAuth auth(keychain, endpointsFor(service));
        if (message == notInTime) {
            auth.setTimeLimit(300);
        }
        const auto outcome = runJob<SignInOutcome>(auth);
        QCOMPARE(errorOf(outcome), message);
        QCOMPARE(service.keyRequests(), keyRequests);
        keychain->setUnavailable(false);
        QCOMPARE(keychain->load(account), storedKey(u"earlier"_s));
        QVERIFY(portClosed(service));
    }

    void callbackWithoutStateIsAccepted()
    {
        FakeSignIn service;
        service.setBrowser(FakeSignIn::Browser::redirectWithoutState);
        service.setKey(u"sk-or-v1-second"_s);
        auto keychain = std::make_shared<MemoryKeychain>();
        QVERIFY(keychain->save(u"earlier"_s, account));
        OpenRouterAuth auth(keychain, endpointsFor(service));
        const auto outcome = runJob<SignInOutcome>(auth);
        QVERIFY2(outcome && outcome->ok(), qPrintable(errorOf(outcome)));
        QCOMPARE(keychain->load(account),
                 storedKey(u"sk-or-v1-second"_s)); // a successful sign-in replaces the earlier key
        QVERIFY(portClosed(service));
    }

    void unreachableKeyExchange()
    {
        FakeSignIn service;
        auto keychain = std::make_shared<MemoryKeychain>();
        AIEndpoints endpoints = endpointsFor(service);
        endpoints.openRouterBase = QUrl(u"http://127.0.0.1:1"_s);
        OpenRouterAuth auth(keychain, endpoints);
        const auto outcome = runJob<SignInOutcome>(auth);
        QVERIFY2(errorOf(outcome).startsWith(u"Could not reach the server: "_s), qPrintable(errorOf(outcome)));
        QVERIFY(portClosed(service));
    }

    void roundTripThroughChromiumAndTheKeyring()
    {
        FakeSignIn service;
        service.setBrowser(FakeSignIn::Browser::chromium);
        auto keychain = std::make_shared<SecretServiceKeychain>();
        keychain->remove(account);
        OpenRouterAuth auth(keychain, endpointsFor(service));
        const auto outcome = runJob<SignInOutcome>(auth, 60'000);
        QVERIFY2(outcome && outcome->ok(), qPrintable(errorOf(outcome)));
        QCOMPARE(SecretServiceKeychain().load(account), storedKey(u"sk-or-v1-test-key"_s));
        QCOMPARE(service.server().requests("/auth").size(), 1);
        QVERIFY(portClosed(service));
        keychain->remove(account);
    }
};

TRELLICK_TEST_MAIN(TestOpenRouterAuth)
#include "tst_openrouterauth.moc"
