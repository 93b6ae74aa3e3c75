#pragma once

#include "AIEndpoints.h"
#include "AnswerJob.h"
#include "Http.h"

// One chat request to the local Ollama server; the answer is labelled with the model's name.
class OllamaChatJob : public AnswerJob
{
    Q_OBJECT

public:
    OllamaChatJob(const AIEndpoints& endpoints, const QString& model, const QString& system, const QString& user,
                  QObject* parent = nullptr);

    void start() override;
    void cancel() override;

private:
    enum class Step { idle, asking, done };

    void finish(const AnswerOutcome& outcome);

    AIEndpoints m_endpoints;
    QString m_model;
    QString m_system;
    QString m_user;
    Http m_http;
    Step m_step = Step::idle;
};
