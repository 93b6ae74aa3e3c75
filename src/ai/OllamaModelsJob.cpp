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
        if (const auto* error = std::get_if<AIError>(&outcome)) {
            finish(*error);
            return;
        }
        auto names = OllamaClient::modelNames(std::get<HttpResponse>(outcome));
        if (const auto* error = std::get_if<AIError>(&names)) {
            finish(*error);
        } else {
            finish(std::get<QStringList>(std::move(names)));
        }
    });
}

void OllamaModelsJob::cancel()
{
    if (m_step != Step::done) {
        m_http.abort();
        finish(AICancelled{});
    }
}

void OllamaModelsJob::finish(const OllamaModelsOutcome& outcome)
{
    m_step = Step::done;
    emit finished(outcome);
}
