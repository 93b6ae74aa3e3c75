// "Try to fix": a run of an AI plan that failed is sent back to the same provider with the commands and the
// tool's last words, and the answer is checked like any plan.
#include "AppState.h"
#include "ai/AIPrompts.h"
#include "ai/PlanAskJob.h"
#include "store/AISettings.h"

#include <QFileInfo>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace {

constexpr int maxFixes = 2;

// Failures a changed plan cannot mend, said in one sentence; empty when asking again may help.
QString unfixable(const QString& input, const ResolvedOption& option, const RunError& error)
{
    if (!input.isEmpty() && !QFileInfo::exists(input)) {
        return u"The original file is no longer where it was, so a changed plan would not help."_s;
    }
    const QString said = (error.message + u'\n' + error.details).toLower();
    if (said.contains(u"no space left on device"_s)) {
        return u"The disk is full, so a changed plan would not help; make some room, then run it again."_s;
    }
    if (said.contains(u"file too large"_s) || said.contains(u"file size limit"_s)) {
        return u"The new file grew past the largest size a step may write, so a changed plan would not help."_s;
    }
    const QStringList outputs = option.finalOutputs();
    if (!outputs.isEmpty() && !QFileInfo(QFileInfo(outputs.first()).absolutePath()).isWritable()) {
        return u"The folder of the new file can't be written to, so a changed plan would not help."_s;
    }
    return {};
}

} // namespace

void AppState::noteFailedRun(const ReviewState& review, const ResolvedOption& option, const QString& input,
                             const RunError& error)
{
    m_failedRun.reset();
    m_fixNote.clear();
    if (review.isAI && m_currentAction && m_details && error.kind != ErrorKind::cancelled) {
        m_fixNote = unfixable(input, option, error);
        if (m_fixNote.isEmpty() && review.fixes < maxFixes) {
            // The first request's own message: the same file, the same task, the same request.
            const QString user = AIPrompts::user(review.request, m_currentAction->task, *m_details);
            const QString tail = error.details.trimmed().isEmpty() ? error.message : error.details;
            m_failedRun
                = FailedRun{review, AIPrompts::fixUser(user, option, input, error.step, tail), input, error.message};
        }
    }
    emit fixChanged();
}

void AppState::dropFailedRun()
{
    if (m_failedRun || !m_fixNote.isEmpty()) {
        m_failedRun.reset();
        m_fixNote.clear();
        emit fixChanged();
    }
}

bool AppState::canTryFix() const
{
    return m_stage == Stage::failed && m_failedRun.has_value();
}

std::optional<std::pair<QString, QString>> AppState::fixPrompt() const
{
    if (!m_failedRun) {
        return std::nullopt;
    }
    return std::pair(AIPrompts::planSystem(), m_failedRun->user);
}

void AppState::tryFix()
{
    if (canTryFix() && mayAskNow(&AppState::tryFix)) {
        askFix();
    }
}

void AppState::askFix()
{
    const std::optional<AIChannel> channel = m_settings->channel();
    if (!canTryFix() || !channel) {
        return;
    }
    const FailedRun failed = *m_failedRun;
    setStage(Stage::thinking);
    setThinkingText(u"Asking "_s + providerLabel() + u" to fix the plan..."_s);
    auto* job
        = new PlanAskJob(*channel, m_settings->endpoints(), AIPrompts::planSystem(), failed.user, failed.input, this);
    const TaskSlot::Id id = m_task.start([job = QPointer(job)] {
        if (job) {
            job->cancel();
        }
    });
    connect(job, &PlanAskJob::finished, this, [this, job, id, failed](const PlanOutcome& outcome) {
        job->deleteLater();
        if ((!outcome.ok() && outcome.error().kind == ErrorKind::cancelled) || !m_task.isCurrent(id)) {
            return;
        }
        m_task.finish(id);
        if (!outcome.ok() || outcome.value().options.isEmpty()) {
            dropFailedRun();
            setFailureBack(Stage::review);
            fail(outcome.ok() ? outcome.value().explanation.value_or(u"The AI could not do that."_s)
                              : outcome.error().message,
                 QString());
            return;
        }
        const PlanService::Result& answer = outcome.value();
        m_settings->setLastModel(answer.model.value_or(QString()));
        setReview(ReviewState{answer.options, 0, failed.review.request, failed.review.title, answer.model,
                              answer.retried, true, failed.review.fixes + 1, failed.reason});
        setStage(Stage::review);
    });
    job->start();
}
