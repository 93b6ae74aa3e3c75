#pragma once

#include "AIChannel.h"
#include "AIEndpoints.h"
#include "AIError.h"
#include "AnswerJob.h"
#include "PlanService.h"
#include "base/Result.h"

#include <QObject>
#include <QPointer>

using PlanOutcome = Result<PlanService::Result, AIError>;

// Asks the channel's provider for a plan, checks the answer and resolves its options for `input`. When the
// checker rejects an answer the model is asked once more with the reason word for word; a second rejection
// ends the request. Provider failures and unusable answers end it at once. cancel() aborts the request in
// flight and finishes with a cancellation.
class PlanAskJob : public QObject
{
    Q_OBJECT

public:
    PlanAskJob(const AIChannel& channel, const AIEndpoints& endpoints, const QString& system, const QString& user,
               const QString& input, QObject* parent = nullptr);

    void start();
    void cancel();

signals:
    void finished(const PlanOutcome& outcome);

private:
    enum class Step { idle, asking, retrying, done };

    void ask(const QString& message);
    void onAnswer(const AnswerOutcome& outcome);
    void reject(const QString& reason);
    void finish(const PlanOutcome& outcome);
    void dropAnswerJob();

    AIChannel m_channel;
    AIEndpoints m_endpoints;
    QString m_system;
    QString m_user;
    QString m_input;
    Step m_step = Step::idle;
    QPointer<AnswerJob> m_answer;
};
