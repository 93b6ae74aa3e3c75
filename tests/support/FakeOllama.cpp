#include "FakeOllama.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

FakeOllama::FakeOllama()
    : FakeChatServer("/api/chat", &answer)
    , m_tagsReply(Reply::json({{u"models"_s, QJsonArray()}}))
{
    m_server.route("/api/tags", [this](const LocalHttpServer::Request&) { return m_tagsReply; });
}

QString FakeOllama::hostVariable() const
{
    return u"127.0.0.1:%1"_s.arg(m_server.url().port());
}

void FakeOllama::setModels(const QStringList& names)
{
    QJsonArray models;
    for (const QString& name : names) {
        models.append(QJsonObject{
            {u"name"_s, name},
            {u"model"_s, name},
            {u"modified_at"_s, u"2025-01-12T10:31:08.417436+01:00"_s},
            {u"size"_s, qint64(2019393189)},
            {u"digest"_s, u"a80c4f17acd55265feec403c7aef86be0c25983ab279d83f3bcd3abbcb5b8b72"_s},
            {u"details"_s,
             QJsonObject{{u"parent_model"_s, u""_s},
                         {u"format"_s, u"gguf"_s},
                         {u"family"_s, u"llama"_s},
                         {u"families"_s, QJsonArray{u"llama"_s}},
                         {u"parameter_size"_s, u"3.2B"_s},
                         {u"quantization_level"_s, u"Q4_K_M"_s}}},
        });
    }
    m_tagsReply = Reply::json({{u"models"_s, models}});
}

FakeOllama::Reply FakeOllama::answer(const QString& model, const QString& content)
{
    return Reply::json({
        {u"model"_s, model},
        {u"created_at"_s, u"2025-01-12T10:35:41.123456789Z"_s},
        {u"message"_s, QJsonObject{{u"role"_s, u"assistant"_s}, {u"content"_s, content}}},
        {u"done_reason"_s, u"stop"_s},
        {u"done"_s, true},
        {u"total_duration"_s, qint64(5191566416)},
        {u"load_duration"_s, 2154458},
        {u"prompt_eval_count"_s, 812},
        {u"prompt_eval_duration"_s, 383809000},
        {u"eval_count"_s, 96},
        {u"eval_duration"_s, qint64(4799921000)},
    });
}

FakeOllama::Reply FakeOllama::error(int status, const QString& message)
{
    return Reply::json({{u"error"_s, message}}, status);
}
