#pragma once

#include "LocalHttpServer.h"

#include <QJsonArray>
#include <QString>

// Plays the OpenRouter API on 127.0.0.1: the model list at /api/v1/models and chat completions at
// /api/v1/chat/completions, in the service's own shapes.
class FakeOpenRouter
{
public:
    using Reply = LocalHttpServer::Reply;
    using ChatHandler = std::function<Reply(const QJsonObject& body)>;

    FakeOpenRouter();

    QUrl url() const { return m_server.url(); }
    LocalHttpServer& server() { return m_server; }

    // A model entry as the list carries it: free text model, JSON support by "response_format".
    static QJsonObject model(const QString& id, qint64 created, bool json = true);
    // The list is answered as {"data": models}.
    void setModels(const QJsonArray& models);
    void setModelsReply(const Reply& reply);
    // Chat completions: `handler` sees each request body; the default answers every request with `content`.
    void setChat(ChatHandler handler);
    void answerEveryChat(const QString& content);

    // A completion whose first choice's message holds `content`.
    static Reply completion(const QString& model, const QString& content);
    // An error object of the service: {"error": {"message": ..., "code": status}}.
    static Reply error(int status, const QString& message);

    QList<QJsonObject> chatBodies() const;
    QList<LocalHttpServer::Request> chatRequests() const;
    int modelListRequests() const;

private:
    LocalHttpServer m_server;
    Reply m_modelsReply;
    ChatHandler m_chat;
};
