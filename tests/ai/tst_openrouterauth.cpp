#include "FakeSignIn.h"
#include "JobWaiter.h"
#include "MemoryKeychain.h"
#include "TestMain.h"
#include "ai/OpenRouterAuth.h"
#include "platform/SecretServiceKeychain.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace {

const QString account = u"openrouter-api-key"_s;

AIEndpoints endpointsFor(const FakeSignIn& service)
{
    AIEndpoints endpoints;
    endpoints.openRouterBase = service.url();
    endpoints.openRouterWebBase = service.url();
    return endpoints;
}

QString failure(const std::optional<SignInOutcome>& outcome)
{
    return outcome && !outcome->ok() ? outcome->error().message : u"(no failure)"_s;
}

bool succeeded(const std::optional<SignInOutcome>& outcome)
{
    return outcome && outcome->ok();
}

// The callback port of the last sign-in accepts nothing any more.
bool portClosed(const FakeSignIn& service)
{
    const auto port = quint16(QUrl(QUrlQuery(service.openedUrl()).queryItemValue(u"callback_url"_s)).port());
    for (const QHostAddress& address :
         {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)}) {
        QTcpSocket socket;
        socket.connectToHost(address, port);
        if (socket.waitForConnected(1000)) {
            return false;
        }
    }
    return port != 0;
}

} // namespace

// Runs in a private D-Bus session with its own keyring (tests/support/with-keyring.sh): the browser round
// trip stores its key in a real Secret Service.
class TestOpenRouterAuth : public QObject
{
    Q_OBJECT

private slots:
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
        OpenRouterAuth auth(keychain, endpointsFor(service));
        const auto outcome = runJob<SignInOutcome>(auth);
        QCOMPARE(failure(outcome), message);
        QCOMPARE(service.keyRequests(), keyRequests);
        QCOMPARE(keychain->load(account), storedKey(u"earlier"_s));
        QVERIFY(portClosed(service));
    }

    void keychainRefusesTheKey()
    {
        FakeSignIn service;
        auto keychain = std::make_shared<MemoryKeychain>();
        QVERIFY(keychain->save(u"earlier"_s, account));
        keychain->setUnavailable(true);
        OpenRouterAuth auth(keychain, endpointsFor(service));
        const auto outcome = runJob<SignInOutcome>(auth);
        QCOMPARE(failure(outcome),
                 u"OpenRouter gave a key, but it could not be stored in your keyring. Check that a keyring "
                 "is running and unlocked, then sign in again."_s);
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
        QVERIFY2(succeeded(outcome), qPrintable(failure(outcome)));
        QCOMPARE(keychain->load(account),
                 storedKey(u"sk-or-v1-second"_s)); // a successful sign-in replaces the earlier key
        QVERIFY(portClosed(service));
    }

    void browserThatNeverComesBack()
    {
        for (const auto browser : {FakeSignIn::Browser::never, FakeSignIn::Browser::withoutCode}) {
            FakeSignIn service;
            service.setBrowser(browser);
            auto keychain = std::make_shared<MemoryKeychain>();
            OpenRouterAuth auth(keychain, endpointsFor(service));
            auth.setTimeLimit(300);
            const auto outcome = runJob<SignInOutcome>(auth);
            QCOMPARE(failure(outcome), u"Sign-in was not finished in time. Try again."_s);
            QCOMPARE(service.keyRequests(), 0);
            QCOMPARE(keychain->load(account), KeychainRead());
            QVERIFY(portClosed(service));
        }
    }

    void unreachableKeyExchange()
    {
        FakeSignIn service;
        auto keychain = std::make_shared<MemoryKeychain>();
        AIEndpoints endpoints = endpointsFor(service);
        endpoints.openRouterBase = QUrl(u"http://127.0.0.1:1"_s);
        OpenRouterAuth auth(keychain, endpoints);
        const auto outcome = runJob<SignInOutcome>(auth);
        QVERIFY2(failure(outcome).startsWith(u"Could not reach the server: "_s), qPrintable(failure(outcome)));
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
        QVERIFY2(succeeded(outcome), qPrintable(failure(outcome)));
        QCOMPARE(SecretServiceKeychain().load(account), storedKey(u"sk-or-v1-test-key"_s));
        QCOMPARE(service.server().requests("/auth").size(), 1);
        QVERIFY(portClosed(service));
        keychain->remove(account);
    }
};

TRELLICK_TEST_MAIN(TestOpenRouterAuth)
#include "tst_openrouterauth.moc"
