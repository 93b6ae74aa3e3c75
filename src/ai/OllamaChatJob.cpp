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
        if (const auto* error = std::get_if<AIError>(&outcome)) {
            finish(*error);
            return;
        }
        const auto answer = OllamaClient::chatAnswer(std::get<HttpResponse>(outcome));
        if (const auto* error = std::get_if<AIError>(&answer)) {
            finish(*error);
        } else {
            finish(AIAnswer{std::get<QString>(answer), m_model});
        }
    });
}

void OllamaChatJob::cancel()
{
    if (m_step != Step::done) {
        m_http.abort();
        finish(AICancelled{});
    }
}

void OllamaChatJob::finish(const AnswerOutcome& outcome)
{
    m_step = Step::done;
    emit finished(outcome);
}
