#include "FakeOpenRouter.h"

using namespace Qt::StringLiterals;

FakeOpenRouter::FakeOpenRouter()
    : FakeChatServer("/api/v1/chat/completions", &completion)
    , m_modelsReply(Reply::json({{u"data"_s, QJsonArray()}}))
{
    m_server.route("/api/v1/models", [this](const LocalHttpServer::Request&) { return m_modelsReply; });
}

QJsonObject FakeOpenRouter::model(const QString& id, qint64 created, bool json)
{
    QJsonArray parameters{u"max_tokens"_s, u"stop"_s, u"temperature"_s, u"top_p"_s};
    if (json) {
        parameters.append(u"response_format"_s);
    }
    return {
        {u"id"_s, id},
        {u"canonical_slug"_s, id},
        {u"name"_s, QString(id + u" (free)"_s)},
        {u"created"_s, created},
        {u"description"_s, u"A general chat model."_s},
        {u"context_length"_s, 131072},
        {u"architecture"_s,
         QJsonObject{{u"modality"_s, u"text->text"_s},
                     {u"input_modalities"_s, QJsonArray{u"text"_s}},
                     {u"output_modalities"_s, QJsonArray{u"text"_s}},
                     {u"tokenizer"_s, u"Other"_s}}},
        {u"pricing"_s,
         QJsonObject{{u"prompt"_s, u"0"_s}, {u"completion"_s, u"0"_s}, {u"request"_s, u"0"_s}, {u"image"_s, u"0"_s}}},
        {u"top_provider"_s, QJsonObject{{u"context_length"_s, 131072}, {u"is_moderated"_s, false}}},
        {u"per_request_limits"_s, QJsonValue()},
        {u"supported_parameters"_s, parameters},
    };
}

void FakeOpenRouter::setModels(const QJsonArray& models)
{
    m_modelsReply = Reply::json({{u"data"_s, models}});
}

FakeOpenRouter::Reply FakeOpenRouter::completion(const QString& model, const QString& content)
{
    const QJsonObject message{{u"role"_s, u"assistant"_s}, {u"content"_s, content}, {u"refusal"_s, QJsonValue()}};
    return Reply::json({
        {u"id"_s, u"gen-1733000000-abcdefghijkl"_s},
        {u"provider"_s, u"Example"_s},
        {u"model"_s, model},
        {u"object"_s, u"chat.completion"_s},
        {u"created"_s, 1733000000},
        {u"choices"_s,
         QJsonArray{QJsonObject{{u"logprobs"_s, QJsonValue()},
                                {u"finish_reason"_s, u"stop"_s},
                                {u"index"_s, 0},
                                {u"message"_s, message}}}},
        {u"usage"_s, QJsonObject{{u"prompt_tokens"_s, 812}, {u"completion_tokens"_s, 96}, {u"total_tokens"_s, 908}}},
    });
}

FakeOpenRouter::Reply FakeOpenRouter::error(int status, const QString& message)
{
    return Reply::json({{u"error"_s, QJsonObject{{u"message"_s, message}, {u"code"_s, status}}}}, status);
}
