#include "OpenRouterCompleteJob.h"

using namespace Qt::StringLiterals;

OpenRouterCompleteJob::OpenRouterCompleteJob(const AIEndpoints& endpoints, const QString& apiKey, const QString& system,
                                             const QString& user, Accept accept, QObject* parent)
    : AnswerJob(parent)
    , m_endpoints(endpoints)
    , m_apiKey(apiKey)
    , m_system(system)
    , m_user(user)
    , m_accept(std::move(accept))
    , m_http(this)
{
}

void OpenRouterCompleteJob::start()
{
    Q_ASSERT(m_step == Step::idle);
    m_step = Step::listing;
    m_http.send(OpenRouterClient::modelsRequest(m_endpoints), [this](const HttpOutcome& o) { onModels(o); });
}

void OpenRouterCompleteJob::cancel()
{
    if (m_step != Step::done) {
        m_http.abort();
        finish(AIError::cancellation());
    }
}

void OpenRouterCompleteJob::onModels(const HttpOutcome& outcome)
{
    if (!outcome.ok()) {
        finish(outcome.error());
        return;
    }
    const auto models = OpenRouterClient::freeModels(outcome.value());
    if (!models.ok()) {
        finish(models.error());
        return;
    }
    m_models = models.value().first(std::min<qsizetype>(OpenRouterClient::maxModelsTried, models.value().size()));
    if (m_models.isEmpty()) {
        finish(AIError{u"OpenRouter lists no free models right now. Try again later or use Ollama."_s});
        return;
    }
    m_step = Step::asking;
    askNext();
}

void OpenRouterCompleteJob::askNext()
{
    if (++m_current >= m_models.size()) {
        finish(AIError{u"None of the free models gave a usable answer.\n"_s + m_failures.join(u'\n')});
        return;
    }
    const OpenRouterClient::ModelInfo& model = m_models.at(m_current);
    m_http.send(OpenRouterClient::chatRequest(m_endpoints, m_apiKey, model.id, m_system, m_user, model.supportsJSON),
                [this](const HttpOutcome& o) { onChat(o); });
}

void OpenRouterCompleteJob::onChat(const HttpOutcome& outcome)
{
    const QString model = m_models.at(m_current).id;
    const Result<QString, AIError> answer
        = outcome.ok() ? OpenRouterClient::chatAnswer(outcome.value()) : Result<QString, AIError>(outcome.error());
    if (answer.ok()) {
        if (m_accept(answer.value())) {
            finish(AIAnswer{answer.value(), model});
            return;
        }
        m_failures.append(model + u": answer was not valid JSON"_s);
    } else if (answer.error().kind == ErrorKind::refused) {
        // Every other model would refuse the same key.
        finish(answer.error());
        return;
    } else {
        m_failures.append(model + u": "_s + answer.error().message);
    }
    askNext();
}

void OpenRouterCompleteJob::finish(const AnswerOutcome& outcome)
{
    m_step = Step::done;
    emit finished(outcome);
}
