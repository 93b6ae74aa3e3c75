#pragma once

#include "LocalHttpServer.h"

#include <QStringList>

// Plays a local Ollama server on 127.0.0.1: non-streamed /api/chat answers and the /api/tags model list.
class FakeOllama
{
public:
    using Reply = LocalHttpServer::Reply;
    using ChatHandler = std::function<Reply(const QJsonObject& body)>;

    FakeOllama();

    QUrl url() const { return m_server.url(); }
    // The address as a user would write it in OLLAMA_HOST.
    QString hostVariable() const;
    LocalHttpServer& server() { return m_server; }

    void setModels(const QStringList& names);
    void setTagsReply(const Reply& reply);
    void setChat(ChatHandler handler);
    void answerEveryChat(const QString& content);

    // A finished, non-streamed chat answer whose message holds `content`.
    static Reply answer(const QString& model, const QString& content);
    // Ollama's error shape: {"error": message}.
    static Reply error(int status, const QString& message);

    QList<QJsonObject> chatBodies() const;

private:
    LocalHttpServer m_server;
    Reply m_tagsReply;
    ChatHandler m_chat;
};
