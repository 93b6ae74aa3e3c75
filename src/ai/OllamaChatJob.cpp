#include "OllamaChatJob.h"

#include "OllamaClient.h"

OllamaChatJob::OllamaChatJob(const AIEndpoints& endpoints, const QString& model, const QString& system,
                             const QString& user, QObject* parent)
    : AnswerJob(parent)
    , m_endpoints(endpoints)
    , m_model(model)
    , m_system(system)
    , m_user(user)
    , m_http(this)
{
}

void OllamaChatJob::start()
{
    Q_ASSERT(m_step == Step::idle);
    m_step = Step::asking;
    m_http.send(OllamaClient::chatRequest(m_endpoints, m_model, m_system, m_user), [this](const HttpOutcome& outcome) {
        if (!outcome.ok()) {
            finish(outcome.error());
            return;
        }
        const Result<QString, AIError> answer = OllamaClient::chatAnswer(outcome.value());
        if (answer.ok()) {
            finish(AIAnswer{answer.value(), m_model});
        } else {
            finish(answer.error());
        }
    });
}

void OllamaChatJob::cancel()
{
    if (m_step != Step::done) {
        m_http.abort();
        finish(AIError::cancellation());
    }
}

void OllamaChatJob::finish(const AnswerOutcome& outcome)
{
    m_step = Step::done;
    emit finished(outcome);
}
