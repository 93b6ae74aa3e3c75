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
        finish(AICancelled{});
    }
}

void OpenRouterCompleteJob::onModels(const HttpOutcome& outcome)
{
    if (const auto* error = std::get_if<AIError>(&outcome)) {
        finish(*error);
        return;
    }
    auto models = OpenRouterClient::freeModels(std::get<HttpResponse>(outcome));
    if (const auto* error = std::get_if<AIError>(&models)) {
        finish(*error);
        return;
    }
    m_models = std::get<QList<OpenRouterClient::ModelInfo>>(models).first(
        std::min<qsizetype>(OpenRouterClient::maxModelsTried, std::get<0>(models).size()));
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
    const auto answer = std::holds_alternative<AIError>(outcome)
        ? std::variant<QString, AIError>(std::get<AIError>(outcome))
        : OpenRouterClient::chatAnswer(std::get<HttpResponse>(outcome));
    if (const auto* text = std::get_if<QString>(&answer)) {
        if (m_accept(*text)) {
            finish(AIAnswer{*text, model});
            return;
        }
        m_failures.append(model + u": answer was not valid JSON"_s);
    } else {
        const QString message = std::get<AIError>(answer).message;
        const QString authPrefix = QString::fromUtf16(OpenRouterClient::authPrefix);
        if (message.startsWith(authPrefix)) {
            finish(AIError{message.mid(authPrefix.size())});
            return;
        }
        m_failures.append(model + u": "_s + message);
    }
    askNext();
}

void OpenRouterCompleteJob::finish(const AnswerOutcome& outcome)
{
    m_step = Step::done;
    emit finished(outcome);
}
