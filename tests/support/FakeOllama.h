#pragma once

#include "FakeChatServer.h"

// Plays a local Ollama server on 127.0.0.1: non-streamed /api/chat answers and the /api/tags model list.
class FakeOllama : public FakeChatServer
{
public:
    FakeOllama();

    // The address as a user would write it in OLLAMA_HOST.
    QString hostVariable() const;

    void setModels(const QStringList& names);
    void setTagsReply(const Reply& reply) { m_tagsReply = reply; }

    // A finished, non-streamed chat answer whose message holds `content`.
    static Reply answer(const QString& model, const QString& content);
    // Ollama's error shape: {"error": message}.
    static Reply error(int status, const QString& message);

private:
    Reply m_tagsReply;
};
