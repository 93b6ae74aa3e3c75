#include "OpenRouterClient.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace OpenRouterClient {

namespace {

AIError listError(int status)
{
    return {u"OpenRouter's model list could not be read (status %1)."_s.arg(status)};
}

// A price given as a number, or as a string holding one.
std::optional<double> price(const QJsonValue& value)
{
    if (value.isDouble()) {
        return value.toDouble();
    }
    if (!value.isString()) {
        return std::nullopt;
    }
    const QString text = value.toString();
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok || text != text.trimmed()) {
        return std::nullopt;
    }
    return number;
}

bool isFree(const QJsonValue& value)
{
    const std::optional<double> p = price(value);
    return p && *p == 0.0;
}

bool isStringArray(const QJsonValue& value)
{
    if (!value.isArray()) {
        return false;
    }
    const QJsonArray array = value.toArray();
    return std::all_of(array.begin(), array.end(), [](const QJsonValue& v) { return v.isString(); });
}

bool producesText(const QJsonObject& model)
{
    const QJsonValue modalities = model.value(u"architecture"_s).toObject().value(u"output_modalities"_s);
    return !isStringArray(modalities) || modalities.toArray().contains(u"text"_s);
}

ModelInfo info(const QJsonObject& model)
{
    ModelInfo info;
    info.id = model.value(u"id"_s).toString();
    const QJsonArray parameters = model.value(u"supported_parameters"_s).toArray();
    info.supportsJSON = parameters.contains(u"response_format"_s) || parameters.contains(u"structured_outputs"_s);
    const QJsonValue created = model.value(u"created"_s);
    info.created = created.isDouble() ? created.toInteger(0) : 0;
    return info;
}

QJsonArray messages(const QString& system, const QString& user)
{
    return QJsonArray{QJsonObject{{u"role"_s, u"system"_s}, {u"content"_s, system}},
                      QJsonObject{{u"role"_s, u"user"_s}, {u"content"_s, user}}};
}

} // namespace

HttpRequest modelsRequest(const AIEndpoints& endpoints)
{
    HttpRequest request;
    request.url = AIEndpoints::join(endpoints.openRouterBase, u"/api/v1/models"_s);
    request.timeoutMs = endpoints.modelListTimeoutMs;
    return request;
}

Result<QList<ModelInfo>, AIError> freeModels(const HttpResponse& response)
{
    const QJsonDocument document = QJsonDocument::fromJson(response.body);
    if (response.status != 200 || !document.isObject()) {
        return listError(response.status);
    }
    const QJsonValue data = document.object().value(u"data"_s);
    const QJsonArray entries = data.toArray();
    if (!data.isArray()
        || !std::all_of(entries.begin(), entries.end(), [](const QJsonValue& v) { return v.isObject(); })) {
        return listError(response.status);
    }

    QList<ModelInfo> models;
    for (const QJsonValue& entry : entries) {
        const QJsonObject model = entry.toObject();
        const QJsonValue pricing = model.value(u"pricing"_s);
        if (!model.value(u"id"_s).isString() || !pricing.isObject() || !isFree(pricing.toObject().value(u"prompt"_s))
            || !isFree(pricing.toObject().value(u"completion"_s)) || !producesText(model)) {
            continue;
        }
        models.append(info(model));
    }
    std::stable_sort(models.begin(), models.end(), [](const ModelInfo& a, const ModelInfo& b) {
        if (a.supportsJSON != b.supportsJSON) {
            return a.supportsJSON;
        }
        return a.created > b.created;
    });
    return models;
}

HttpRequest chatRequest(const AIEndpoints& endpoints, const QString& apiKey, const QString& model,
                        const QString& system, const QString& user, bool json)
{
    QJsonObject body{
        {u"model"_s, model},
        {u"messages"_s, messages(system, user)},
        {u"temperature"_s, temperature},
    };
    if (json) {
        body.insert(u"response_format"_s, QJsonObject{{u"type"_s, u"json_object"_s}});
    }
    HttpRequest request;
    request.method = "POST";
    request.url = AIEndpoints::join(endpoints.openRouterBase, u"/api/v1/chat/completions"_s);
    request.timeoutMs = endpoints.chatTimeoutMs;
    request.headers = {
        {"Authorization", "Bearer " + apiKey.toUtf8()},
        {"Content-Type", "application/json"},
        {"X-Title", "Trellick"},
    };
    request.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    return request;
}

Result<QString, AIError> chatAnswer(const HttpResponse& response)
{
    if (response.status == 401 || response.status == 403) {
        return AIError{u"OpenRouter did not accept the saved key. Open Settings and sign in again."_s,
                       ErrorKind::refused};
    }
    const QJsonDocument document = QJsonDocument::fromJson(response.body);
    if (!document.isObject()) {
        return AIError{u"unreadable answer (status %1)"_s.arg(response.status)};
    }
    const QJsonObject object = document.object();
    if (const QJsonValue message = object.value(u"error"_s).toObject().value(u"message"_s); message.isString()) {
        return AIError{message.toString()};
    }
    const QJsonValue content
        = object.value(u"choices"_s).toArray().at(0).toObject().value(u"message"_s).toObject().value(u"content"_s);
    if (content.isString() && !content.toString().trimmed().isEmpty()) {
        return content.toString();
    }
    return AIError{u"empty answer (status %1)"_s.arg(response.status)};
}

} // namespace OpenRouterClient
