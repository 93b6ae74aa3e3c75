#include "AppState.h"
#include "CoreLog.h"
#include "ai/AIPrompts.h"
#include "ai/PlanAskJob.h"
#include "store/AISettings.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

QString providerName(const AIChannel& channel)
{
    switch (channel.kind) {
    case AIProviderKind::openRouter:
        return u"OpenRouter"_s;
    case AIProviderKind::ollama:
        return u"Ollama ("_s + channel.ollamaModel + u')';
    case AIProviderKind::apple:
        return u"Apple on-device model"_s;
    }
    Q_UNREACHABLE();
}

} // namespace

std::optional<std::pair<QString, QString>> AppState::currentPrompt() const
{
    if (canTryFix()) {
        return fixPrompt();
    }
    if (!m_currentAction || !m_details) {
        return std::nullopt;
    }
    QString request = m_requestText.trimmed();
    if (request.isEmpty()) {
        request = u"(your request will appear here)"_s;
    }
    return std::pair(AIPrompts::planSystem(), AIPrompts::user(request, m_currentAction->task, *m_details));
}

QString AppState::providerLabel() const
{
    switch (m_settings->provider()) {
    case AIProviderKind::openRouter:
        return u"OpenRouter"_s;
    case AIProviderKind::ollama: {
        const QString model = m_settings->ollamaModel();
        return u"Ollama ("_s + (model.isEmpty() ? u"no model chosen"_s : model) + u')';
    }
    case AIProviderKind::apple:
        return u"Apple on-device model"_s;
    }
    Q_UNREACHABLE();
}

void AppState::requestAI()
{
    if (!m_requestText.trimmed().isEmpty() && mayAskNow(&AppState::requestAI)) {
        askAI();
    }
}

bool AppState::mayAskNow(void (AppState::*again)())
{
    const bool openRouter = m_settings->provider() == AIProviderKind::openRouter;
    if (openRouter && m_settings->readingKey()) {
        // Just after start the key may still be on its way from the keyring: ask once it has come, however
        // often the button was pressed meanwhile.
        setMessage(u"Reading the OpenRouter key from your keyring..."_s);
        connect(m_settings.get(), &AISettings::keyRead, this, again,
                Qt::ConnectionType(Qt::SingleShotConnection | Qt::UniqueConnection));
        return false;
    }
    if (openRouter && m_settings->keyUnavailable()) {
        // Asking again lets the keyring offer to unlock; the next try then finds the key.
        setMessage(AISettings::keyringUnavailableText());
        m_settings->readKey();
        return false;
    }
    if (!m_settings->channel()) {
        setMessage(u"AI is not set up yet. "_s + m_settings->setupHint());
        setDialog(DialogKind::settings);
        return false;
    }
    if (!m_settings->acknowledgedSend()) {
        setDialog(DialogKind::whatWillBeSent);
        return false;
    }
    return true;
}

void AppState::askAI(std::optional<std::pair<QString, QString>> prompt)
{
    // The consent dialog's Send, opened from the failed panel, sends the fix request it showed.
    if (canTryFix()) {
        askFix();
        return;
    }
    if (m_files.isEmpty()) {
        return;
    }
    if (!prompt) {
        prompt = currentPrompt();
    }
    if (!prompt) {
        return;
    }
    const std::optional<AIChannel> channel = m_settings->channel();
    if (!channel) {
        return;
    }
    // Captured now: edits made while the AI thinks do not change what the review says was asked.
    const QString request = m_requestText.trimmed();
    const QString title = m_currentAction ? m_currentAction->title : u"Request"_s;
    setStage(Stage::thinking);
    setThinkingText(u"Asking "_s + providerName(*channel) + u"..."_s);

    auto* job = new PlanAskJob(*channel, m_settings->endpoints(), prompt->first, prompt->second, m_files.first(), this);
    // A cancelled request stops at once; its answer, should one still come, is dropped below.
    const TaskSlot::Id id = m_task.start([job = QPointer(job)] {
        if (job) {
            job->cancel();
        }
    });
    connect(job, &PlanAskJob::finished, this, [this, job, id, request, title](const PlanOutcome& outcome) {
        job->deleteLater();
        if ((!outcome.ok() && outcome.error().kind == ErrorKind::cancelled) || !m_task.isCurrent(id)) {
            qCDebug(lcCore, "dropped the answer to a request that was stopped or replaced");
            return;
        }
        m_task.finish(id);
        if (!outcome.ok()) {
            setFailureBack(Stage::asking);
            fail(outcome.error().message, QString());
            return;
        }
        const PlanService::Result& answer = outcome.value();
        m_settings->setLastModel(answer.model.value_or(QString()));
        if (answer.options.isEmpty()) {
            setFailureBack(Stage::asking);
            fail(answer.explanation.value_or(u"The AI could not do that."_s), QString());
            return;
        }
        setReview(ReviewState{answer.options, 0, request, title, answer.model, answer.retried, true, 0, std::nullopt});
        setStage(Stage::review);
    });
    job->start();
}
