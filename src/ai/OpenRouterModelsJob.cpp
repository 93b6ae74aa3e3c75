#include "OpenRouterModelsJob.h"

OpenRouterModelsJob::OpenRouterModelsJob(const AIEndpoints& endpoints, QObject* parent)
    : QObject(parent)
    , m_endpoints(endpoints)
    , m_http(this)
{
}

void OpenRouterModelsJob::start()
{
    Q_ASSERT(m_step == Step::idle);
    m_step = Step::listing;
    m_http.send(OpenRouterClient::modelsRequest(m_endpoints), [this](const HttpOutcome& outcome) {
        finish(outcome.ok() ? OpenRouterClient::freeModels(outcome.value()) : FreeModelsOutcome(outcome.error()));
    });
}

void OpenRouterModelsJob::cancel()
{
    if (m_step != Step::done) {
        m_http.abort();
        finish(AIError::cancellation());
    }
}

void OpenRouterModelsJob::finish(const FreeModelsOutcome& outcome)
{
    m_step = Step::done;
    emit finished(outcome);
}
