#include "AppState.h"

#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "files/Actions.h"
#include "plans/SystemTools.h"

AppState::AppState(Services services, QObject* parent)
    : QObject(parent)
    , m_toolsReady(FFmpegTools::chosen().has_value())
    , m_services(std::move(services))
    , m_settings(std::make_unique<AISettings>(m_services.keychain, m_services.endpoints))
    , m_history(std::make_unique<HistoryStore>())
    , m_runner(std::make_unique<ToolRunner>())
    , m_installer(std::make_unique<ToolInstaller>())
{
    SystemTools::setStandInDir(m_services.toolsDir);
    connect(m_installer.get(), &ToolInstaller::progress, this, [this](double fraction, const QString& text) {
        setInstallFraction(fraction);
        setInstallText(text);
    });
    // The system's ffmpeg, when there is no own copy, is run once in the background to see that it answers.
    whenToolsKnown([] {});
}

AppState::~AppState() = default;

template <typename T>
void AppState::assign(T& field, const T& value, void (AppState::*changed)())
{
    if (field == value) {
        return;
    }
    field = value;
    emit(this->*changed)();
}

QList<FileAction> AppState::actions() const
{
    return Actions::forSelection(m_kind, m_files.size(), m_files);
}

void AppState::setRequestText(const QString& text)
{
    assign(m_requestText, text, &AppState::requestTextChanged);
}

void AppState::setDialog(std::optional<DialogKind> dialog)
{
    assign(m_dialog, dialog, &AppState::dialogChanged);
}

void AppState::selectOption(int index)
{
    if (!m_review || index < 0 || index >= m_review->options.size()) {
        return;
    }
    ReviewState review = *m_review;
    review.selected = index;
    setReview(review);
}

void AppState::cancelThinking()
{
    m_task.cancel();
    // A cancelled fix request goes back to the failure it was about, still fixable.
    if (m_failedRun) {
        setStage(Stage::failed);
        return;
    }
    setStage(m_currentAction ? Stage::asking : Stage::idle);
}

void AppState::changeRequest()
{
    setReview(std::nullopt);
    setStage(m_currentAction ? Stage::asking : Stage::idle);
}

void AppState::cancelPlan()
{
    setReview(std::nullopt);
    setOutcome(std::nullopt);
    setCurrentAction(std::nullopt);
    setStage(Stage::idle);
}

void AppState::backFromFailure()
{
    if (m_failureBack == Stage::review && m_review) {
        setStage(Stage::review);
    } else if (m_failureBack == Stage::asking && m_currentAction) {
        setStage(Stage::asking);
    } else {
        setStage(Stage::idle);
    }
}

void AppState::fail(const QString& text, const QString& details)
{
    assign(m_failureText, text, &AppState::failureTextChanged);
    assign(m_failureDetails, details, &AppState::failureDetailsChanged);
    setStage(Stage::failed);
}

void AppState::setFiles(const QStringList& files)
{
    if (m_files == files) {
        return;
    }
    m_files = files;
    emit filesChanged();
    emit actionsChanged();
}

void AppState::setKind(FileKind kind)
{
    if (m_kind == kind) {
        return;
    }
    m_kind = kind;
    emit kindChanged();
    emit actionsChanged();
}

void AppState::setDetails(const std::optional<FileDetails>& details)
{
    assign(m_details, details, &AppState::detailsChanged);
}

void AppState::setStage(Stage stage)
{
    const bool couldFix = canTryFix();
    // A failure can be fixed only from its own panel or while its fix request is thinking.
    if (stage != Stage::failed && stage != Stage::thinking) {
        dropFailedRun();
    }
    assign(m_stage, stage, &AppState::stageChanged);
    if (canTryFix() != couldFix) {
        emit fixChanged();
    }
}

void AppState::setCurrentAction(const std::optional<FileAction>& action)
{
    assign(m_currentAction, action, &AppState::currentActionChanged);
}

void AppState::setReview(const std::optional<ReviewState>& review)
{
    assign(m_review, review, &AppState::reviewChanged);
}

void AppState::setRunFraction(std::optional<double> fraction)
{
    assign(m_runFraction, fraction, &AppState::runFractionChanged);
}

void AppState::setRunText(const QString& text)
{
    assign(m_runText, text, &AppState::runTextChanged);
}

void AppState::setOutcome(const std::optional<RunOutcome>& outcome)
{
    assign(m_outcome, outcome, &AppState::outcomeChanged);
}

void AppState::setThinkingText(const QString& text)
{
    assign(m_thinkingText, text, &AppState::thinkingTextChanged);
}

void AppState::setMessage(const std::optional<QString>& message)
{
    assign(m_message, message, &AppState::messageChanged);
}

void AppState::setToolsReady(bool ready)
{
    assign(m_toolsReady, ready, &AppState::toolsReadyChanged);
}

void AppState::setToolsInstalling(bool installing)
{
    assign(m_toolsInstalling, installing, &AppState::toolsInstallingChanged);
}

void AppState::setInstallFraction(double fraction)
{
    assign(m_installFraction, fraction, &AppState::installFractionChanged);
}

void AppState::setInstallText(const QString& text)
{
    assign(m_installText, text, &AppState::installTextChanged);
}

void AppState::setToolsMessage(const QString& text)
{
    assign(m_toolsMessage, text, &AppState::toolsMessageChanged);
}
