#pragma once

#include "LocalHttpServer.h"

#include <QStringList>

// What the local stand-ins for OpenRouter and Ollama share: one server on 127.0.0.1 whose chat requests a
// handler answers, in the service's own shape of a finished answer.
class FakeChatServer
{
public:
    using Reply = LocalHttpServer::Reply;
    using ChatHandler = std::function<Reply(const QJsonObject& body)>;

    QUrl url() const { return m_server.url(); }
    LocalHttpServer& server() { return m_server; }

    void setChat(ChatHandler handler) { m_chat = std::move(handler); }
    void answerEveryChat(const QString& content) { answerInTurn({content}); }
    // Each chat is answered with the next of `answers`; the last one repeats.
    void answerInTurn(const QStringList& answers);

    QList<LocalHttpServer::Request> chatRequests() const { return m_server.requests(m_chatPath); }
    QList<QJsonObject> chatBodies() const;
    // The user's message of a chat body: both services take the system message first, then the user's.
    static QString userMessage(const QJsonObject& body);
    static QString systemMessage(const QJsonObject& body);

protected:
    using Answer = std::function<Reply(const QString& model, const QString& content)>;
    FakeChatServer(const QByteArray& chatPath, Answer answer);
    ~FakeChatServer() = default;

    LocalHttpServer m_server;

private:
    QByteArray m_chatPath;
    Answer m_answer;
    ChatHandler m_chat;
};
