#include "TableCheck.h"
#include "TestMain.h"
#include "ai/AIEndpoints.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestAIEndpoints : public QObject
{
    Q_OBJECT

private slots:
    void ollamaHost_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
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
        checkRow<QString, QString>([](const QString& v) { return AIEndpoints::ollamaBaseFrom(v).toString(); });
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
};

TRELLICK_TEST_MAIN(TestAIEndpoints)
#include "tst_aiendpoints.moc"
