#include "OllamaClient.h"

#include "OpenRouterClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace OllamaClient {

HttpRequest chatRequest(const AIEndpoints& endpoints, const QString& model, const QString& system, const QString& user)
{
    const QJsonObject body{
        {u"model"_s, model},
        {u"messages"_s,
         QJsonArray{QJsonObject{{u"role"_s, u"system"_s}, {u"content"_s, system}},
                    QJsonObject{{u"role"_s, u"user"_s}, {u"content"_s, user}}}},
        {u"stream"_s, false},
        {u"format"_s, u"json"_s},
        {u"options"_s, QJsonObject{{u"temperature"_s, OpenRouterClient::temperature}}},
    };
    HttpRequest request;
    request.method = "POST";
    request.url = AIEndpoints::join(endpoints.ollamaBase, u"/api/chat"_s);
    request.timeoutMs = endpoints.ollamaChatTimeoutMs;
    request.headers = {{"Content-Type", "application/json"}};
    request.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    return request;
}

Result<QString, AIError> chatAnswer(const HttpResponse& response)
{
    const QJsonDocument document = QJsonDocument::fromJson(response.body);
    if (!document.isObject()) {
        return AIError{u"Ollama gave an unreadable answer (status %1)."_s.arg(response.status)};
    }
    const QJsonObject object = document.object();
    if (const QJsonValue error = object.value(u"error"_s); error.isString()) {
        return AIError{u"Ollama said: "_s + error.toString()};
    }
    const QJsonValue content = object.value(u"message"_s).toObject().value(u"content"_s);
    if (content.isString() && !content.toString().trimmed().isEmpty()) {
        return content.toString();
    }
    return AIError{u"Ollama gave an empty answer."_s};
}

HttpRequest modelsRequest(const AIEndpoints& endpoints)
{
    HttpRequest request;
    request.url = AIEndpoints::join(endpoints.ollamaBase, u"/api/tags"_s);
    request.timeoutMs = endpoints.ollamaTagsTimeoutMs;
    return request;
}

Result<QStringList, AIError> modelNames(const HttpResponse& response)
{
    const AIError unreadable{u"Ollama answered, but the model list could not be read."_s};
    const QJsonDocument document = QJsonDocument::fromJson(response.body);
    if (response.status != 200 || !document.isObject()) {
        return unreadable;
    }
    const QJsonValue models = document.object().value(u"models"_s);
    const QJsonArray entries = models.toArray();
    if (!models.isArray()
        || !std::all_of(entries.begin(), entries.end(), [](const QJsonValue& v) { return v.isObject(); })) {
        return unreadable;
    }
    QStringList names;
    for (const QJsonValue& entry : entries) {
        if (const QJsonValue name = entry.toObject().value(u"name"_s); name.isString()) {
            names.append(name.toString());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace OllamaClient
