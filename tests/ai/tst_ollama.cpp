#include "FakeOllama.h"
#include "JobWaiter.h"
#include "TableCheck.h"
#include "TestMain.h"
#include "ai/AIEndpoints.h"
#include "ai/AppleOnDevice.h"
#include "ai/OllamaChatJob.h"
#include "ai/OllamaModelsJob.h"

#include <QJsonArray>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

AIEndpoints endpointsFor(const FakeOllama& server)
{
    AIEndpoints endpoints;
    endpoints.ollamaBase = AIEndpoints::ollamaBaseFrom(server.hostVariable());
    endpoints.ollamaChatTimeoutMs = 300;
    endpoints.ollamaTagsTimeoutMs = 300;
    return endpoints;
}

} // namespace

class TestOllama : public QObject
{
    Q_OBJECT

private slots:
    void chatFailures_data()
    {
        QTest::addColumn<LocalHttpServer::Reply>("reply");
        QTest::addColumn<QString>("message");
        QTest::newRow("model not pulled")
            << FakeOllama::error(404, u"model \"llama3.2\" not found, try pulling it first"_s)
            << u"Ollama said: model \"llama3.2\" not found, try pulling it first"_s;
        QTest::newRow("not JSON") << LocalHttpServer::Reply::text("Internal Server Error", 500)
                                  << u"Ollama gave an unreadable answer (status 500)."_s;
        QTest::newRow("invalid UTF-8") << LocalHttpServer::Reply::text("{\"message\":{\"content\":\"\xff\"}}")
                                       << u"Ollama gave an unreadable answer (status 200)."_s;
        QTest::newRow("only whitespace") << FakeOllama::answer(u"llama3.2"_s, u"\n  \n"_s)
                                         << u"Ollama gave an empty answer."_s;
        QTest::newRow("content not a string")
            << LocalHttpServer::Reply::json({{u"message"_s, QJsonObject{{u"content"_s, 42}}}})
            << u"Ollama gave an empty answer."_s;
    }
    void chatFailures()
    {
        QFETCH(LocalHttpServer::Reply, reply);
        QFETCH(QString, message);
        FakeOllama server;
        server.setChat([reply](const QJsonObject&) { return reply; });
        OllamaChatJob job(endpointsFor(server), u"llama3.2"_s, u"s"_s, u"u"_s);
        QCOMPARE(errorOf(runJob<AnswerOutcome>(job)), message);
    }

    void chatSendsOneJsonRequestAndLabelsTheAnswer()
    {
        FakeOllama server;
        const QString content = u"Sure!\n{\"options\":[{\"label\":\"Fast\"}]}\n"_s;
        server.answerEveryChat(content);
        OllamaChatJob job(endpointsFor(server), u"qwen2.5:7b"_s, u"SYSTEM"_s, u"USER"_s);
        const auto outcome = runJob<AnswerOutcome>(job);
        QVERIFY(outcome);
        QCOMPARE(outcome->value(), (AIAnswer{content, u"qwen2.5:7b"_s}));
        const QJsonObject body = server.chatBodies().value(0);
        QCOMPARE(body.value(u"model"_s).toString(), u"qwen2.5:7b"_s);
        QCOMPARE(body.value(u"stream"_s), QJsonValue(false));
        QCOMPARE(body.value(u"format"_s).toString(), u"json"_s);
        QCOMPARE(body.value(u"options"_s).toObject().value(u"temperature"_s).toDouble(), 0.2);
        QCOMPARE(body.value(u"messages"_s).toArray(),
                 (QJsonArray{QJsonObject{{u"role"_s, u"system"_s}, {u"content"_s, u"SYSTEM"_s}},
                             QJsonObject{{u"role"_s, u"user"_s}, {u"content"_s, u"USER"_s}}}));
        QCOMPARE(server.server().requests().value(0).headers.value("content-type"), "application/json");
    }

    void modelList_data()
    {
        QTest::addColumn<LocalHttpServer::Reply>("reply");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("names");
        const QString unreadable = u"Ollama answered, but the model list could not be read."_s;
        QTest::newRow("wrong status") << LocalHttpServer::Reply::json({{u"models"_s, QJsonArray()}}, 404) << unreadable
                                      << QStringList();
        QTest::newRow("not JSON") << LocalHttpServer::Reply::text("ok") << unreadable << QStringList();
        QTest::newRow("models missing") << LocalHttpServer::Reply::json({}) << unreadable << QStringList();
        QTest::newRow("nothing pulled") << LocalHttpServer::Reply::json({{u"models"_s, QJsonArray()}}) << QString()
                                        << QStringList();
        QTest::newRow("unnamed entries skipped") << LocalHttpServer::Reply::json(
            {{u"models"_s,
              QJsonArray{QJsonObject{{u"model"_s, u"x"_s}}, QJsonObject{{u"name"_s, u"b:7b"_s}},
                         QJsonObject{{u"name"_s, 3}}, QJsonObject{{u"name"_s, u"a:latest"_s}}}}})
                                                 << QString() << QStringList{u"a:latest"_s, u"b:7b"_s};
    }
    void modelList()
    {
        QFETCH(LocalHttpServer::Reply, reply);
        QFETCH(QString, message);
        QFETCH(QStringList, names);
        FakeOllama server;
        server.setTagsReply(reply);
        OllamaModelsJob job(endpointsFor(server));
        const auto outcome = runJob<OllamaModelsOutcome>(job);
        QVERIFY(outcome);
        if (message.isEmpty()) {
            QCOMPARE(outcome->value(), names);
        } else {
            QCOMPARE(errorOf(outcome), message);
        }
    }

    void cancelEndsWithACancellation()
    {
        FakeOllama server;
        server.setChat([](const QJsonObject&) { return LocalHttpServer::Reply::hang(); });
        AIEndpoints endpoints = endpointsFor(server);
        endpoints.ollamaChatTimeoutMs = 60000;
        OllamaChatJob job(endpoints, u"llama3.2"_s, u"s"_s, u"u"_s);
        std::optional<AnswerOutcome> outcome;
        connect(&job, &AnswerJob::finished, this, [&](const AnswerOutcome& o) { outcome = o; });
        job.start();
        QTRY_COMPARE(server.chatBodies().size(), 1);
        job.cancel();
        QVERIFY(outcome && !outcome->ok() && outcome->error().kind == ErrorKind::cancelled);
        QTRY_COMPARE(server.server().openConnections(), 0);
    }

    void onDeviceModelIsNotAvailable()
    {
        AppleOnDevice job(u"s"_s, u"u"_s);
        QCOMPARE(errorOf(runJob<AnswerOutcome>(job)), u"Apple's on-device model is not available on this computer."_s);

        AppleOnDevice cancelled(u"s"_s, u"u"_s);
        std::optional<AnswerOutcome> outcome;
        connect(&cancelled, &AnswerJob::finished, this, [&](const AnswerOutcome& o) { outcome = o; });
        cancelled.start();
        QVERIFY(!outcome); // never reported from inside start()
        cancelled.cancel();
        QVERIFY(outcome && !outcome->ok() && outcome->error().kind == ErrorKind::cancelled);
        QTest::qWait(20);
        QVERIFY(!outcome->ok() && outcome->error().kind == ErrorKind::cancelled);
    }

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
};

TRELLICK_TEST_MAIN(TestOllama)
#include "tst_ollama.moc"
