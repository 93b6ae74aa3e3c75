#include "OllamaModelsJob.h"

#include "OllamaClient.h"

OllamaModelsJob::OllamaModelsJob(const AIEndpoints& endpoints, QObject* parent)
    : QObject(parent)
    , m_endpoints(endpoints)
    , m_http(this)
{
}

void OllamaModelsJob::start()
{
    Q_ASSERT(m_step == Step::idle);
    m_step = Step::listing;
    m_http.send(OllamaClient::modelsRequest(m_endpoints), [this](const HttpOutcome& outcome) {
        finish(outcome.ok() ? OllamaClient::modelNames(outcome.value()) : OllamaModelsOutcome(outcome.error()));
    });
}

void OllamaModelsJob::cancel()
{
    if (m_step != Step::done) {
        m_http.abort();
        finish(AIError::cancellation());
    }
}

void OllamaModelsJob::finish(const OllamaModelsOutcome& outcome)
{
    m_step = Step::done;
    emit finished(outcome);
}
