#include "NameSuggestJob.h"

#include "AIPrompts.h"
#include "PlanService.h"

using namespace Qt::StringLiterals;

NameSuggestJob::NameSuggestJob(const AIChannel& channel, const AIEndpoints& endpoints, const QString& request,
                               const QStringList& files, QObject* parent)
    : QObject(parent)
    , m_channel(channel)
    , m_endpoints(endpoints)
    , m_request(request)
    , m_files(files)
{
}

void NameSuggestJob::start()
{
    Q_ASSERT(m_step == Step::idle);
    m_step = Step::asking;
    m_answer = AnswerJob::create(
        m_channel, m_endpoints, AIPrompts::renameSystem(), AIPrompts::renameUser(m_request, m_files),
        [this](const QString& text) { return fits(text); }, this);
    connect(m_answer, &AnswerJob::finished, this, &NameSuggestJob::onAnswer);
    m_answer->start();
}

void NameSuggestJob::cancel()
{
    if (m_step == Step::done) {
        return;
    }
    if (AnswerJob* answer = m_answer.data()) {
        answer->disconnect(this);
        answer->cancel();
    }
    finish(AIError::cancellation());
}

bool NameSuggestJob::fits(const QString& text) const
{
    const std::optional<QStringList> names = PlanService::parseNames(text);
    return names && names->size() == m_files.size();
}

void NameSuggestJob::onAnswer(const AnswerOutcome& outcome)
{
    if (!outcome.ok()) {
        finish(outcome.error());
        return;
    }
    const std::optional<QStringList> names = PlanService::parseNames(outcome.value().text);
    if (!names && m_channel.kind != AIProviderKind::openRouter) {
        finish(PlanService::notUsable(m_channel));
        return;
    }
    // OpenRouter's loop only hands over a fitting list; a local model's wrong count is said plainly.
    if (!names || names->size() != m_files.size()) {
        finish(AIError{u"The AI did not give one name per file."_s});
        return;
    }
    finish(*names);
}

void NameSuggestJob::finish(const NamesOutcome& outcome)
{
    m_step = Step::done;
    emit finished(outcome);
}
