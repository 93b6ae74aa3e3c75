#include "FakeOllama.h"
#include "FakeOpenRouter.h"
#include "JobWaiter.h"
#include "TableCheck.h"
#include "TestMain.h"
#include "ai/AIEndpoints.h"
#include "ai/AppleOnDevice.h"
#include "ai/OllamaChatJob.h"
#include "ai/OllamaModelsJob.h"
#include "ai/OpenRouterClient.h"
#include "ai/OpenRouterCompleteJob.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;
using ModelInfo = OpenRouterClient::ModelInfo;

Q_DECLARE_METATYPE(QList<ModelInfo>)

namespace {

const QString keyRefused = u"OpenRouter did not accept the saved key. Open Settings and sign in again."_s;
const QString goodAnswer = u"Here is the plan:\n```json\n{\"options\":[]}\n```\nEnjoy."_s;

AIEndpoints endpointsFor(const FakeOpenRouter& server)
{
    AIEndpoints endpoints;
    endpoints.openRouterBase = server.url();
    endpoints.modelListTimeoutMs = 2000;
    endpoints.chatTimeoutMs = 300;
    return endpoints;
}

QJsonObject withPricing(QJsonObject model, const QJsonValue& prompt, const QJsonValue& completion)
{
    model.insert(u"pricing"_s, QJsonObject{{u"prompt"_s, prompt}, {u"completion"_s, completion}});
    return model;
}

HttpResponse listOf(const QJsonArray& data)
{
    return {QJsonDocument(QJsonObject{{u"data"_s, data}}).toJson(), 200};
}

// Accepts an answer that holds a JSON object, as the plan service's check would.
bool holdsJSON(const QString& text)
{
    return text.contains(u'{') && text.contains(u'}');
}

// What every chat request of both providers carries for the system and user texts "SYSTEM" and "USER".
const QJsonArray messages{QJsonObject{{u"role"_s, u"system"_s}, {u"content"_s, u"SYSTEM"_s}},
                          QJsonObject{{u"role"_s, u"user"_s}, {u"content"_s, u"USER"_s}}};

AIEndpoints endpointsFor(const FakeOllama& server)
{
    AIEndpoints endpoints;
    endpoints.ollamaBase = AIEndpoints::ollamaBaseFrom(server.hostVariable());
    endpoints.ollamaChatTimeoutMs = 300;
    endpoints.ollamaTagsTimeoutMs = 300;
    return endpoints;
}

} // namespace

// The answer jobs of each AI provider against its local stand-in: OpenRouter's free models, Ollama, and
// the on-device model that this system does not have.
class TestAIProviders : public QObject
{
    Q_OBJECT

private slots:
    void freeModelSelection_data()
    {
        QTest::addColumn<QJsonArray>("data");
        QTest::addColumn<QStringList>("ids");
        const QJsonObject a = FakeOpenRouter::model(u"a"_s, 100);
        QJsonObject noPricing = a;
        noPricing.remove(u"pricing"_s);
        QJsonObject noId = a;
        noId.insert(u"id"_s, 7);
        QJsonObject imageOnly = FakeOpenRouter::model(u"image-only"_s, 100);
        imageOnly.insert(u"architecture"_s, QJsonObject{{u"output_modalities"_s, QJsonArray{u"image"_s}}});
        QJsonObject noArchitecture = FakeOpenRouter::model(u"no-architecture"_s, 100);
        noArchitecture.remove(u"architecture"_s);
        QJsonObject oddModalities = FakeOpenRouter::model(u"odd-modalities"_s, 100);
        oddModalities.insert(u"architecture"_s, QJsonObject{{u"output_modalities"_s, QJsonArray{1, u"image"_s}}});

        QTest::newRow("tiny price as text") << QJsonArray{withPricing(a, u"0.0000001"_s, u"0"_s)} << QStringList();
        QTest::newRow("completion costs") << QJsonArray{withPricing(a, 0, u"0.000002"_s)} << QStringList();
        QTest::newRow("price not a number") << QJsonArray{withPricing(a, u"free"_s, u"0"_s)} << QStringList();
        QTest::newRow("price with spaces") << QJsonArray{withPricing(a, u" 0"_s, u"0"_s)} << QStringList();
        QTest::newRow("no pricing") << QJsonArray{noPricing} << QStringList();
        QTest::newRow("id not a string") << QJsonArray{noId} << QStringList();
        QTest::newRow("no text output") << QJsonArray{imageOnly} << QStringList();
        QTest::newRow("text zero and number zero") << QJsonArray{withPricing(a, u"0"_s, 0)} << QStringList{u"a"_s};
        QTest::newRow("zero written as 0.0") << QJsonArray{withPricing(a, u"0.0"_s, 0.0)} << QStringList{u"a"_s};
        QTest::newRow("no architecture") << QJsonArray{noArchitecture} << QStringList{u"no-architecture"_s};
        QTest::newRow("modalities not all text") << QJsonArray{oddModalities} << QStringList{u"odd-modalities"_s};
    }
    void freeModelSelection()
    {
        QFETCH(QJsonArray, data);
        QFETCH(QStringList, ids);
        const auto result = OpenRouterClient::freeModels(listOf(data));
        QStringList got;
        for (const ModelInfo& model : result.value()) {
            got.append(model.id);
        }
        QCOMPARE(got, ids);
    }

    void jsonCapableFirstThenNewestThenListOrder()
    {
        QJsonObject viaStructured = FakeOpenRouter::model(u"structured-old"_s, 10, false);
        viaStructured.insert(u"supported_parameters"_s, QJsonArray{u"structured_outputs"_s});
        QJsonObject fractionalCreated = FakeOpenRouter::model(u"plain-fractional"_s, 0, false);
        fractionalCreated.insert(u"created"_s, 5e9 + 0.5);
        const QJsonArray data{
            FakeOpenRouter::model(u"plain-new"_s, 900, false),
            viaStructured,
            FakeOpenRouter::model(u"json-mid"_s, 500),
            FakeOpenRouter::model(u"plain-tie-1"_s, 300, false),
            fractionalCreated,
            FakeOpenRouter::model(u"plain-tie-2"_s, 300, false),
        };
        const auto models = OpenRouterClient::freeModels(listOf(data)).value();
        const QList<ModelInfo> expected{
            {u"json-mid"_s, true, 500},     {u"structured-old"_s, true, 10}, {u"plain-new"_s, false, 900},
            {u"plain-tie-1"_s, false, 300}, {u"plain-tie-2"_s, false, 300},  {u"plain-fractional"_s, false, 0},
        };
        QCOMPARE(models, expected);
    }

    void chatRequestShape()
    {
        FakeOpenRouter server;
        server.setModels({FakeOpenRouter::model(u"plain"_s, 2, false), FakeOpenRouter::model(u"json"_s, 1)});
        server.setChat([](const QJsonObject& body) {
            return body.value(u"model"_s) == u"plain"_s ? FakeOpenRouter::completion(u"plain"_s, goodAnswer)
                                                        : FakeOpenRouter::error(500, u"Provider returned error"_s);
        });
        OpenRouterCompleteJob job(endpointsFor(server), u"sk-or-v1-abc"_s, u"SYSTEM"_s, u"USER"_s, holdsJSON);
        const auto outcome = runJob<AnswerOutcome>(job);
        QVERIFY(outcome);
        QCOMPARE(outcome->value(), (AIAnswer{goodAnswer, u"plain"_s}));

        const QList<LocalHttpServer::Request> requests = server.chatRequests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].method, "POST");
        QCOMPARE(requests[0].headers.value("authorization"), "Bearer sk-or-v1-abc");
        QCOMPARE(requests[0].headers.value("content-type"), "application/json");
        QCOMPARE(requests[0].headers.value("x-title"), "Trellick");
        QJsonObject plain{{u"model"_s, u"plain"_s}, {u"temperature"_s, 0.2}, {u"messages"_s, messages}};
        QCOMPARE(requests[1].json(), plain);
        plain.insert(u"model"_s, u"json"_s);
        plain.insert(u"response_format"_s, QJsonObject{{u"type"_s, u"json_object"_s}});
        QCOMPARE(requests[0].json(), plain);
        // The key goes to the chat only, never with the model list.
        const QList<LocalHttpServer::Request> lists = server.server().requests("/api/v1/models");
        QVERIFY(!lists.isEmpty() && !lists.first().headers.contains("authorization"));
    }

    void nineRejectedModelsMakeSixRequestsAndSevenLines()
    {
        FakeOpenRouter server;
        QJsonArray models;
        for (int i = 1; i <= 9; ++i) {
            models.append(FakeOpenRouter::model(u"vendor/model-%1:free"_s.arg(i), 1000 - i));
        }
        server.setModels(models);
        server.answerEveryChat(u"I would use bash for that: rm -rf, then ffmpeg."_s);
        OpenRouterCompleteJob job(endpointsFor(server), u"key"_s, u"s"_s, u"u"_s, holdsJSON);
        const QString message = errorOf(runJob<AnswerOutcome>(job));
        QCOMPARE(server.chatRequests().size(), 6);
        QStringList expected{u"None of the free models gave a usable answer."_s};
        for (int i = 1; i <= 6; ++i) {
            expected.append(u"vendor/model-%1:free: answer was not valid JSON"_s.arg(i));
        }
        QCOMPARE(message, expected.join(u'\n'));
    }

    void refusedKeyStopsAtOnce()
    {
        FakeOpenRouter server;
        server.setModels({FakeOpenRouter::model(u"one"_s, 3), FakeOpenRouter::model(u"two"_s, 2),
                          FakeOpenRouter::model(u"three"_s, 1)});
        server.setChat([](const QJsonObject& body) {
            return body.value(u"model"_s) == u"one"_s ? FakeOpenRouter::error(500, u"Internal Server Error"_s)
                                                      : FakeOpenRouter::error(401, u"User not found."_s);
        });
        OpenRouterCompleteJob job(endpointsFor(server), u"revoked"_s, u"s"_s, u"u"_s, holdsJSON);
        QCOMPARE(errorOf(runJob<AnswerOutcome>(job)), keyRefused);
        QCOMPARE(server.chatRequests().size(), 2);
    }

    void eachFailureBecomesOneLine()
    {
        // The realistic mix a user meets: a rate limit, a body that is not JSON, an empty answer, a server
        // that never answers, a connection closed mid-body, invalid UTF-8; the seventh model is not asked.
        FakeOpenRouter server;
        const QStringList ids{u"rate"_s, u"html"_s, u"blank"_s, u"slow"_s, u"cut"_s, u"bytes"_s, u"unasked"_s};
        QJsonArray models;
        for (qsizetype i = 0; i < ids.size(); ++i) {
            models.append(FakeOpenRouter::model(ids[i], 100 - i));
        }
        server.setModels(models);
        server.setChat([](const QJsonObject& body) {
            const QString model = body.value(u"model"_s).toString();
            if (model == u"rate"_s) {
                return FakeOpenRouter::error(429, u"Rate limit exceeded: free-models-per-min."_s);
            }
            if (model == u"html"_s) {
                return LocalHttpServer::Reply::text("<html><body>Bad gateway</body></html>", 502);
            }
            if (model == u"blank"_s) {
                return FakeOpenRouter::completion(model, u" \n\t "_s);
            }
            if (model == u"slow"_s) {
                return LocalHttpServer::Reply::hang();
            }
            if (model == u"cut"_s) {
                return LocalHttpServer::Reply::closeMidBody(FakeOpenRouter::completion(model, goodAnswer).body);
            }
            return LocalHttpServer::Reply::text("{\"choices\":[{\"message\":{\"content\":\"\xc3\x28{}\"}}]}");
        });
        OpenRouterCompleteJob job(endpointsFor(server), u"key"_s, u"s"_s, u"u"_s, holdsJSON);
        const QString message = errorOf(runJob<AnswerOutcome>(job));
        QStringList lines = message.split(u'\n');
        QVERIFY2(lines.value(5).startsWith(u"cut: Could not reach the server: "_s), qPrintable(message));
        lines[5] = u"cut"_s; // Qt's words for a cut connection vary
        QCOMPARE(lines,
                 (QStringList{u"None of the free models gave a usable answer."_s,
                              u"rate: Rate limit exceeded: free-models-per-min."_s,
                              u"html: unreadable answer (status 502)"_s, u"blank: empty answer (status 200)"_s,
                              u"slow: Could not reach the server: The request timed out."_s, u"cut"_s,
                              u"bytes: unreadable answer (status 200)"_s}));
        QCOMPARE(server.chatRequests().size(), 6);
    }

    void listFailuresEndTheRequest_data()
    {
        QTest::addColumn<LocalHttpServer::Reply>("reply");
        QTest::addColumn<QString>("message");
        QTest::newRow("no free model") << LocalHttpServer::Reply::json(
            {{u"data"_s,
              QJsonArray()}}) << u"OpenRouter lists no free models right now. Try again later or use Ollama."_s;
        QTest::newRow("list unavailable") << LocalHttpServer::Reply::text("upstream down", 503)
                                          << u"OpenRouter's model list could not be read (status 503)."_s;
        const QString unreadable = u"OpenRouter's model list could not be read (status 200)."_s;
        QTest::newRow("not JSON") << LocalHttpServer::Reply::text("<html>busy</html>") << unreadable;
        QTest::newRow("no data") << LocalHttpServer::Reply::text("{\"models\":[]}") << unreadable;
        QTest::newRow("data holds a string") << LocalHttpServer::Reply::text("{\"data\":[\"x\"]}") << unreadable;
        QTest::newRow("invalid UTF-8") << LocalHttpServer::Reply::text("{\"data\":[{\"id\":\"\xff\xfe\"}]}")
                                       << unreadable;
        QTest::newRow("list never comes")
            << LocalHttpServer::Reply::hang() << u"Could not reach the server: The request timed out."_s;
    }
    void listFailuresEndTheRequest()
    {
        QFETCH(LocalHttpServer::Reply, reply);
        QFETCH(QString, message);
        FakeOpenRouter server;
        server.setModelsReply(reply);
        AIEndpoints endpoints = endpointsFor(server);
        endpoints.modelListTimeoutMs = 300;
        OpenRouterCompleteJob job(endpoints, u"key"_s, u"s"_s, u"u"_s, holdsJSON);
        QCOMPARE(errorOf(runJob<AnswerOutcome>(job)), message);
        QCOMPARE(server.chatRequests().size(), 0);
    }

    void tenThousandModelsAndAMultiMegabyteAnswer()
    {
        FakeOpenRouter server;
        QByteArray body = "{\"data\":[";
        for (int i = 0; i < 10000; ++i) {
            const QJsonObject model = FakeOpenRouter::model(u"vendor/m%1:free"_s.arg(i), i, i % 3 == 0);
            body += (i ? "," : "")
                + QJsonDocument(i % 2 ? model : withPricing(model, u"0.000001"_s, u"0.000002"_s))
                      .toJson(QJsonDocument::Compact);
        }
        body += "]}";
        server.setModelsReply(LocalHttpServer::Reply{200, body});
        const QString huge = u"Let me think. "_s.repeated(220000) + goodAnswer;
        server.answerEveryChat(huge);
        AIEndpoints endpoints = endpointsFor(server);
        endpoints.modelListTimeoutMs = 20000;
        endpoints.chatTimeoutMs = 20000;
        OpenRouterCompleteJob job(endpoints, u"key"_s, u"s"_s, u"u"_s, holdsJSON);
        const auto outcome = runJob<AnswerOutcome>(job, 30000);
        QVERIFY(outcome);
        QVERIFY2(outcome->ok(), qPrintable(errorOf(outcome).left(500)));
        // The free models are the odd ones, JSON-capable when divisible by three: 9999 is the newest of those.
        QCOMPARE(outcome->value().model, u"vendor/m9999:free"_s);
        QCOMPARE(outcome->value().text, huge);
    }

    void cancelAbortsTheRequestInFlight()
    {
        FakeOpenRouter server;
        server.setModels({FakeOpenRouter::model(u"slow"_s, 1), FakeOpenRouter::model(u"next"_s, 0)});
        server.setChat([](const QJsonObject&) { return LocalHttpServer::Reply::hang(); });
        AIEndpoints endpoints = endpointsFor(server);
        endpoints.chatTimeoutMs = 60000;
        OpenRouterCompleteJob job(endpoints, u"key"_s, u"s"_s, u"u"_s, holdsJSON);
        std::optional<AnswerOutcome> outcome;
        connect(&job, &AnswerJob::finished, this, [&](const AnswerOutcome& o) { outcome = o; });
        job.start();
        QTRY_COMPARE(server.chatRequests().size(), 1);
        job.cancel();
        QVERIFY(outcome && !outcome->ok() && outcome->error().kind == ErrorKind::cancelled);
        QTRY_COMPARE(server.server().openConnections(), 0);
        job.cancel();
        QTest::qWait(100);
        QCOMPARE(server.chatRequests().size(), 1);
    }

    void ollamaChatFailures_data()
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
    void ollamaChatFailures()
    {
        QFETCH(LocalHttpServer::Reply, reply);
        QFETCH(QString, message);
        FakeOllama server;
        server.setChat([reply](const QJsonObject&) { return reply; });
        OllamaChatJob job(endpointsFor(server), u"llama3.2"_s, u"s"_s, u"u"_s);
        QCOMPARE(errorOf(runJob<AnswerOutcome>(job)), message);
    }

    void ollamaChatSendsOneJsonRequestAndLabelsTheAnswer()
    {
        FakeOllama server;
        const QString content = u"Sure!\n{\"options\":[{\"label\":\"Fast\"}]}\n"_s;
        server.answerEveryChat(content);
        OllamaChatJob job(endpointsFor(server), u"qwen2.5:7b"_s, u"SYSTEM"_s, u"USER"_s);
        const auto outcome = runJob<AnswerOutcome>(job);
        QVERIFY(outcome);
        QCOMPARE(outcome->value(), (AIAnswer{content, u"qwen2.5:7b"_s}));
        QCOMPARE(server.chatBodies().value(0),
                 (QJsonObject{{u"model"_s, u"qwen2.5:7b"_s},
                              {u"stream"_s, false},
                              {u"format"_s, u"json"_s},
                              {u"options"_s, QJsonObject{{u"temperature"_s, 0.2}}},
                              {u"messages"_s, messages}}));
        QCOMPARE(server.server().requests().value(0).headers.value("content-type"), "application/json");
    }

    void ollamaModelList_data()
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
    void ollamaModelList()
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

    void ollamaCancelEndsWithACancellation()
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

TRELLICK_TEST_MAIN(TestAIProviders)
#include "tst_aiproviders.moc"
