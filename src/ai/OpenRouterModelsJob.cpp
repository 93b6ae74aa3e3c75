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
        if (const auto* error = std::get_if<AIError>(&outcome)) {
            finish(*error);
            return;
        }
        auto models = OpenRouterClient::freeModels(std::get<HttpResponse>(outcome));
        if (const auto* error = std::get_if<AIError>(&models)) {
            finish(*error);
        } else {
            finish(std::get<QList<OpenRouterClient::ModelInfo>>(std::move(models)));
        }
    });
}

void OpenRouterModelsJob::cancel()
{
    if (m_step != Step::done) {
        m_http.abort();
        finish(AICancelled{});
    }
}

void OpenRouterModelsJob::finish(const FreeModelsOutcome& outcome)
{
    m_step = Step::done;
    emit finished(outcome);
}
