#pragma once

#include "DialogKind.h"
#include "ReviewState.h"
#include "Services.h"
#include "Stage.h"
#include "TaskSlot.h"
#include "exec/RunOutcome.h"
#include "exec/ToolInstaller.h"
#include "exec/ToolRunner.h"
#include "files/FileAction.h"
#include "files/FileDetails.h"
#include "files/FileKind.h"
#include "files/MediaFacts.h"
#include "store/AISettings.h"
#include "store/HistoryStore.h"

#include <QFuture>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

// The one controller of the user's work. Views read its properties and call its operations; every
// change of state happens here, on the main thread, and each property signals only real changes.
class AppState : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList files READ files NOTIFY filesChanged)
    Q_PROPERTY(FileKind kind READ kind NOTIFY kindChanged)
    Q_PROPERTY(std::optional<FileDetails> details READ details NOTIFY detailsChanged)
    Q_PROPERTY(MediaPlayer* player READ player NOTIFY playerChanged)
    Q_PROPERTY(Stage stage READ stage NOTIFY stageChanged)
    Q_PROPERTY(std::optional<FileAction> currentAction READ currentAction NOTIFY currentActionChanged)
    Q_PROPERTY(QString requestText READ requestText WRITE setRequestText NOTIFY requestTextChanged)
    Q_PROPERTY(std::optional<ReviewState> review READ review NOTIFY reviewChanged)
    Q_PROPERTY(std::optional<double> runFraction READ runFraction NOTIFY runFractionChanged)
    Q_PROPERTY(QString runText READ runText NOTIFY runTextChanged)
    Q_PROPERTY(std::optional<RunOutcome> outcome READ outcome NOTIFY outcomeChanged)
    Q_PROPERTY(QString failureText READ failureText NOTIFY failureTextChanged)
    Q_PROPERTY(QString failureDetails READ failureDetails NOTIFY failureDetailsChanged)
    Q_PROPERTY(QString thinkingText READ thinkingText NOTIFY thinkingTextChanged)
    Q_PROPERTY(std::optional<QString> message READ message NOTIFY messageChanged)
    Q_PROPERTY(std::optional<DialogKind> dialog READ dialog WRITE setDialog NOTIFY dialogChanged)
    Q_PROPERTY(bool toolsReady READ toolsReady NOTIFY toolsReadyChanged)
    Q_PROPERTY(bool toolsInstalling READ toolsInstalling NOTIFY toolsInstallingChanged)
    Q_PROPERTY(double installFraction READ installFraction NOTIFY installFractionChanged)
    Q_PROPERTY(QString installText READ installText NOTIFY installTextChanged)
    Q_PROPERTY(QString toolsMessage READ toolsMessage NOTIFY toolsMessageChanged)
    Q_PROPERTY(QList<FileAction> actions READ actions NOTIFY actionsChanged)
    Q_PROPERTY(bool canTryFix READ canTryFix NOTIFY fixChanged)
    Q_PROPERTY(QString fixNote READ fixNote NOTIFY fixChanged)

public:
    // Everything it needs from the computer comes in `services`, once: views may hold on to what it hands out.
    explicit AppState(Services services, QObject* parent = nullptr);
    ~AppState() override;

    QStringList files() const { return m_files; }
    FileKind kind() const { return m_kind; }
    std::optional<FileDetails> details() const { return m_details; }
    MediaPlayer* player() const { return m_player; }
    Stage stage() const { return m_stage; }
    std::optional<FileAction> currentAction() const { return m_currentAction; }
    QString requestText() const { return m_requestText; }
    std::optional<ReviewState> review() const { return m_review; }
    std::optional<double> runFraction() const { return m_runFraction; }
    QString runText() const { return m_runText; }
    std::optional<RunOutcome> outcome() const { return m_outcome; }
    QString failureText() const { return m_failureText; }
    QString failureDetails() const { return m_failureDetails; }
    QString thinkingText() const { return m_thinkingText; }
    std::optional<QString> message() const { return m_message; }
    std::optional<DialogKind> dialog() const { return m_dialog; }
    bool toolsReady() const { return m_toolsReady; }
    bool toolsInstalling() const { return m_toolsInstalling; }
    double installFraction() const { return m_installFraction; }
    QString installText() const { return m_installText; }
    QString toolsMessage() const { return m_toolsMessage; }
    Stage failureBack() const { return m_failureBack; }

    // The actions panel shows exactly this list.
    QList<FileAction> actions() const;

    // What the user edits directly: the request, the open sheet, the option chosen under review.
    void setRequestText(const QString& text);
    void setDialog(std::optional<DialogKind> dialog);
    void selectOption(int index);

    // File intake. Every way in ends in `load`, which replaces the selection and resets the work.
    void handleDrop(const QStringList& paths); // the dropped local files, in the order they arrived
    void chooseFiles();
    void load(const QStringList& paths);
    void clearFiles();
    // Reads the first file's facts again in the background, for example after ffprobe was installed.
    void reprobe();
    // The quick facts shown at once; `facts` stays empty until the probe delivers.
    static FileDetails basicDetails(const QString& path);

    // The long-lived services. The install view and the run view stop their work through these.
    AISettings& settings() { return *m_settings; }
    HistoryStore& history() { return *m_history; }
    Workspace& workspace() { return *m_services.workspace; }
    ToolRunner& runner() { return *m_runner; }
    ToolInstaller& installer() { return *m_installer; }

    // Direct actions: the actions panel calls `perform`; the dialogs call the prepare operation for
    // their choice. A prepared plan is put up for review and closes the dialog; a refusal only sets `message`.
    void perform(const FileAction& action);
    // `conversion` is convertImage or convertAudio; `format` one of Recipes::formats(conversion).
    void prepareConvert(ActionId conversion, const QString& format);
    void prepareRename(const QStringList& names, bool keepCopy);
    void preparePDFExtract(const QString& pagesText);
    void preparePDFMerge(const QStringList& order);
    // The command the info dialog runs and shows; empty without a file.
    QString infoCommand() const;
    // Appends "role m:ss " at the player's position to the request.
    void insertCurrentTime(const QString& role);

    // The AI request flow. The exact system and user texts a request would send now; nothing without a
    // current action and a file.
    std::optional<std::pair<QString, QString>> currentPrompt() const;
    // The chosen provider's short name, for the preview of what will be sent.
    QString providerLabel() const;
    // The request editor's Send: asks at once, or first opens the settings or the consent dialog.
    void requestAI();
    // Sends the request in the background; the answer becomes a plan under review or a failure, unless the
    // request was cancelled or replaced meanwhile. `prompt`, when given, is sent as it stands: the texts the
    // user was shown; otherwise the current prompt is.
    void askAI(std::optional<std::pair<QString, QString>> prompt = std::nullopt);

    // "Try to fix" of the failed stage: offered after a run of an AI plan failed in a way a changed plan may
    // mend, at most twice per request. `fixNote` says in one sentence why a failed AI plan cannot be mended.
    bool canTryFix() const;
    QString fixNote() const { return m_fixNote; }
    // The fix request's system and user texts, exactly as they would go out; none when no fix is offered.
    std::optional<std::pair<QString, QString>> fixPrompt() const;
    // The button: asks at once, or first opens the settings or the consent dialog, as a request does.
    void tryFix();
    // Sends the fix request; the answer is checked like any plan and comes up for review, marked as a fix.
    void askFix();

    // The run flow. A run that needs ffmpeg installs it first; every run that reaches the runner is
    // added to the history.
    void startRun();
    // The settings window's install; it never changes the stage.
    void installToolsNow();
    // The settings window's Remove: deletes the installed tools and reads again whether they are there.
    void removeTools();
    // Loads the entry's file again and puts its AI plan up for review, checked afresh.
    void rerun(const HistoryEntry& entry);
    // Opens the first output, or shows it in the file manager when it is a folder.
    void playResult();

    // Stage operations.
    void cancelThinking();
    void changeRequest();
    void cancelPlan();
    void backFromFailure();

    // Setters for the operations of the intake, action, AI and run flows.
    void setFiles(const QStringList& files);
    void setKind(FileKind kind);
    void setDetails(const std::optional<FileDetails>& details);
    void setStage(Stage stage);
    void setCurrentAction(const std::optional<FileAction>& action);
    void setReview(const std::optional<ReviewState>& review);
    void setRunFraction(std::optional<double> fraction);
    void setRunText(const QString& text);
    void setOutcome(const std::optional<RunOutcome>& outcome);
    void setThinkingText(const QString& text);
    void setMessage(const std::optional<QString>& message);
    void setToolsReady(bool ready);
    void setToolsInstalling(bool installing);
    void setInstallFraction(double fraction);
    void setInstallText(const QString& text);
    void setToolsMessage(const QString& text);
    void setFailureBack(Stage stage) { m_failureBack = stage; }
    // Enters the failed stage; the caller sets `failureBack` first.
    void fail(const QString& text, const QString& details);

    // The one slot for the current AI request or run.
    TaskSlot& task() { return m_task; }

signals:
    void filesChanged();
    void kindChanged();
    void detailsChanged();
    void playerChanged();
    void stageChanged();
    void currentActionChanged();
    void requestTextChanged();
    void reviewChanged();
    void runFractionChanged();
    void runTextChanged();
    void outcomeChanged();
    void failureTextChanged();
    void failureDetailsChanged();
    void thinkingTextChanged();
    void messageChanged();
    void dialogChanged();
    void toolsReadyChanged();
    void toolsInstallingChanged();
    void installFractionChanged();
    void installTextChanged();
    void toolsMessageChanged();
    void actionsChanged();
    void fixChanged();

private:
    template <typename T>
    void assign(T& field, const T& value, void (AppState::*changed)());
    void dropPlayer();
    // For one video or audio file, once its facts are in.
    void makePlayer();
    // True when a request may go out now; otherwise says why or opens what is missing (the settings, the
    // consent dialog), or calls `again` once the key being read from the keyring has come.
    bool mayAskNow(void (AppState::*again)());

    // What a run needs to remember from the moment Run was pressed.
    struct RunRecord
    {
        ReviewState review;
        ResolvedOption option;
        std::optional<double> fallbackDuration;
        QString fileName;
        QString inputPath;
        TaskSlot::Id task = 0;
    };
    void offer(const Result<ResolvedOption, PlanError>& plan);
    void putUnderReview(const ResolvedOption& option);
    void runOption(const RunRecord& record);
    // The stage, the notice and the history entry of a run that ended, its result checked when it went well.
    void finishRun(const RunRecord& record, const RunResult& run);
    void runInstall(const std::function<void(const Result<void, ToolError>&)>& done);
    // Calls `then` once it is known which ffmpeg to use (at once unless the system's has yet to be run),
    // with toolsReady brought up to date.
    void whenToolsKnown(const std::function<void()>& then);
    // Remembers what a fix request would need after a run failed, or why none can help.
    void noteFailedRun(const ReviewState& review, const ResolvedOption& option, const QString& input,
                       const RunError& error);
    void dropFailedRun();

    // A failed run of an AI plan that may be sent back to be fixed.
    struct FailedRun
    {
        ReviewState review;
        QString user; // the fix request's user message
        QString input;
        QString reason; // the failure, shown above the fixed plan
    };

    QStringList m_files;
    FileKind m_kind = FileKind::other;
    std::optional<FileDetails> m_details;
    MediaPlayer* m_player = nullptr;
    Stage m_stage = Stage::idle;
    std::optional<FileAction> m_currentAction;
    QString m_requestText;
    std::optional<ReviewState> m_review;
    std::optional<double> m_runFraction;
    QString m_runText;
    std::optional<RunOutcome> m_outcome;
    QString m_failureText;
    QString m_failureDetails;
    QString m_thinkingText;
    std::optional<QString> m_message;
    std::optional<DialogKind> m_dialog;
    bool m_toolsReady = false;
    bool m_toolsInstalling = false;
    double m_installFraction = 0;
    QString m_installText;
    QString m_toolsMessage;
    Stage m_failureBack = Stage::idle;
    TaskSlot m_task;
    std::optional<FailedRun> m_failedRun;
    QString m_fixNote;

    Services m_services;
    // Only the newest probe may fill in the facts; an older one that finishes late is dropped.
    quint64 m_probeGeneration = 0;
    QFuture<MediaFacts> m_probe;
    bool m_probing = false;
    // What the user asked for that needs the facts still being read; done when the newest probe ends, whether
    // it read them or not, and dropped only with the files it was asked of.
    std::function<void()> m_afterProbe;

    // Last, so that they go first: nothing they report can reach a half-destroyed state.
    std::unique_ptr<AISettings> m_settings;
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<ToolRunner> m_runner;
    std::unique_ptr<ToolInstaller> m_installer;
};
