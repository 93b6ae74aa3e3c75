#pragma once

#include "FakeChatServer.h"

#include <QJsonArray>
#include <QString>

// Plays the OpenRouter API on 127.0.0.1: the model list at /api/v1/models and chat completions at
// /api/v1/chat/completions, in the service's own shapes.
class FakeOpenRouter : public FakeChatServer
{
public:
    FakeOpenRouter();

    // A model entry as the list carries it: free text model, JSON support by "response_format".
    static QJsonObject model(const QString& id, qint64 created, bool json = true);
    // The list is answered as {"data": models}.
    void setModels(const QJsonArray& models);
    void setModelsReply(const Reply& reply) { m_modelsReply = reply; }
    int modelListRequests() const { return int(m_server.requests("/api/v1/models").size()); }

    // A completion whose first choice's message holds `content`.
    static Reply completion(const QString& model, const QString& content);
    // An error object of the service: {"error": {"message": ..., "code": status}}.
    static Reply error(int status, const QString& message);

private:
    Reply m_modelsReply;
};
