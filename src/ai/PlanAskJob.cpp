#include "PlanAskJob.h"

#include "plans/PlanParser.h"

using namespace Qt::StringLiterals;

PlanAskJob::PlanAskJob(const AIChannel& channel, const AIEndpoints& endpoints, const QString& system,
                       const QString& user, const QString& input, QObject* parent)
    : QObject(parent)
    , m_channel(channel)
    , m_endpoints(endpoints)
    , m_system(system)
    , m_user(user)
    , m_input(input)
{
}

void PlanAskJob::start()
{
    Q_ASSERT(m_step == Step::idle);
    m_step = Step::asking;
    ask(m_user);
}

void PlanAskJob::cancel()
{
    if (m_step == Step::done) {
        return;
    }
    dropAnswerJob();
    finish(AIError::cancellation());
}

void PlanAskJob::ask(const QString& message)
{
    dropAnswerJob();
    m_answer = AnswerJob::create(m_channel, m_endpoints, m_system, message, PlanService::isUsablePlan, this);
    connect(m_answer, &AnswerJob::finished, this, &PlanAskJob::onAnswer);
    m_answer->start();
}

void PlanAskJob::onAnswer(const AnswerOutcome& outcome)
{
    if (!outcome.ok()) {
        finish(outcome.error());
        return;
    }
    const AIAnswer& answer = outcome.value();
    if (m_channel.kind != AIProviderKind::openRouter && !PlanService::isUsablePlan(answer.text)) {
        finish(PlanService::notUsable(m_channel));
        return;
    }
    const Result<AIPlanResponse, PlanError> parsed = PlanParser::parse(answer.text);
    if (!parsed.ok()) {
        reject(parsed.error().message);
        return;
    }
    const bool retried = m_step == Step::retrying;
    const AIPlanResponse& response = parsed.value();
    if (response.options.isEmpty()) {
        finish(PlanService::Result{
            {}, answer.model, response.error.value_or(u"The AI did not suggest anything."_s), retried});
        return;
    }
    const Result<QList<ResolvedOption>, PlanError> resolved = PlanParser::resolve(response.options, m_input);
    if (!resolved.ok()) {
        reject(resolved.error().message);
        return;
    }
    finish(PlanService::Result{resolved.value(), answer.model, std::nullopt, retried});
}

void PlanAskJob::reject(const QString& reason)
{
    if (m_step == Step::retrying) {
        finish(AIError{u"The AI's answer was not safe or usable, even after a second try: "_s + reason});
        return;
    }
    m_step = Step::retrying;
    ask(PlanService::retryMessage(m_user, reason));
}

void PlanAskJob::finish(const PlanOutcome& outcome)
{
    m_step = Step::done;
    emit finished(outcome);
}

void PlanAskJob::dropAnswerJob()
{
    if (AnswerJob* answer = m_answer.data()) {
        m_answer = nullptr;
        answer->disconnect(this);
        answer->cancel();
        answer->deleteLater();
    }
}
