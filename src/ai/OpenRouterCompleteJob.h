#pragma once

#include "AIEndpoints.h"
#include "AnswerJob.h"
#include "Http.h"
#include "OpenRouterClient.h"

#include <QStringList>

// Asks OpenRouter's free models in turn, at most six, until one gives an answer that `accept` takes.
// A fresh model list is fetched for every job. A refused key stops at once; otherwise every model's
// failure becomes one line of the final message.
class OpenRouterCompleteJob : public AnswerJob
{
    Q_OBJECT

public:
    OpenRouterCompleteJob(const AIEndpoints& endpoints, const QString& apiKey, const QString& system,
                          const QString& user, Accept accept, QObject* parent = nullptr);

    void start() override;
    void cancel() override;

private:
    enum class Step { idle, listing, asking, done };

    void onModels(const HttpOutcome& outcome);
    void askNext();
    void onChat(const HttpOutcome& outcome);
    void finish(const AnswerOutcome& outcome);

    AIEndpoints m_endpoints;
    QString m_apiKey;
    QString m_system;
    QString m_user;
    Accept m_accept;
    Http m_http;
    Step m_step = Step::idle;
    QList<OpenRouterClient::ModelInfo> m_models;
    qsizetype m_current = -1;
    QStringList m_failures;
};
