#include "DevCommands.h"
#include "DevLoader.h"
#include "ai/AIPrompts.h"
#include "base/FFmpegTools.h"
#include "files/Actions.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

void printReview(const ReviewState& review, QTextStream& out)
{
    for (qsizetype i = 0; i < review.options.size(); ++i) {
        const ResolvedOption& option = review.options.at(i);
        out << "Option " << i + 1 << ": " << option.label << Qt::endl;
        if (!option.summary.isEmpty()) {
            out << "  Summary: " << option.summary << Qt::endl;
        }
        for (const QString& warning : option.warnings) {
            out << "  Warning: " << warning << Qt::endl;
        }
        for (const ResolvedStep& step : option.steps) {
            out << "  $ " << step.displayCommand << Qt::endl;
        }
    }
    out << "Model: " << review.model.value_or(u"(unknown)"_s) << Qt::endl;
    out << "Retried: " << (review.retried ? "yes" : "no") << Qt::endl;
}

// Waits until the state leaves `stage`.
void waitWhile(AppState& state, Stage stage)
{
    if (state.stage() != stage) {
        return;
    }
    QEventLoop loop;
    QObject::connect(&state, &AppState::stageChanged, &loop, [&] {
        if (state.stage() != stage) {
            loop.quit();
        }
    });
    loop.exec();
}

// Runs the first option under review; while it fails and a fix is offered, prints the fix request, sends it
// and runs the fixed plan. Returns the exit status.
int runAndFix(AppState& state, QTextStream& out)
{
    for (;;) {
        state.selectOption(0);
        state.startRun();
        waitWhile(state, Stage::installing);
        waitWhile(state, Stage::running);
        if (state.stage() == Stage::finished) {
            printChecked(out, *state.outcome());
            return 0;
        }
        out << "Failed: " << state.failureText() << Qt::endl;
        if (!state.canTryFix()) {
            if (!state.fixNote().isEmpty()) {
                out << "No fix: " << state.fixNote() << Qt::endl;
            }
            return 1;
        }
        out << "Fix request:\n" << state.fixPrompt()->second << Qt::endl;
        state.askFix();
        waitWhile(state, Stage::thinking);
        if (state.stage() != Stage::review) {
            out << "Failed: " << state.failureText() << Qt::endl;
            return 1;
        }
        out << "Fixed after: " << state.review()->fixedAfter.value_or(QString()) << Qt::endl;
        printReview(*state.review(), out);
    }
}

} // namespace

// Types a request for an AI action on one file and prints the plan the AI proposes, checked, or the failure;
// with --preview, prints what would be sent instead and sends nothing. The provider and its credentials are
// the user's settings; consent to send is taken as given.
int devAsk(const QStringList& args)
{
    QTextStream out(stdout);
    QStringList words = args;
    const bool preview = words.removeAll(u"--preview"_s) > 0;
    // With --run the first option runs, and a failure is sent back to be fixed while a fix is offered.
    const bool run = words.removeAll(u"--run"_s) > 0;
    if (words.size() != 3) {
        QTextStream(stderr) << "usage: trellick-dev ask [--preview] [--run] ACTION-ID \"REQUEST\" PATH\n";
        return 2;
    }
    // The prompt describes the ffmpeg in use, which the window learns in the background when it starts.
    FFmpegTools::checkNow();
    const QString& actionId = words.at(0);
    DevLoader loader;
    AppState state(loader.services());
    loader.load(state, {QFileInfo(words.at(2)).absoluteFilePath()});
    if (state.files().isEmpty()) {
        out << "Notice: " << state.message().value_or(QString()) << Qt::endl;
        return 1;
    }

    const QList<FileAction> offered = state.actions();
    const auto action = std::find_if(offered.begin(), offered.end(),
                                     [&](const FileAction& a) { return Actions::rawId(a.id) == actionId; });
    if (action == offered.end() || action->style != ActionStyle::ai) {
        QTextStream(stderr) << "“" << actionId << "” is not an AI action offered for this file.\n";
        return 2;
    }
    state.perform(*action);
    state.setRequestText(words.at(1));
    if (preview) {
        const auto prompt = state.currentPrompt();
        out << AIPrompts::preview(state.providerLabel(), prompt->first, prompt->second) << Qt::endl;
        return 0;
    }
    state.requestAI();
    if (state.dialog() == DialogKind::whatWillBeSent) {
        state.setDialog(std::nullopt);
        state.askAI();
    }
    if (state.stage() != Stage::thinking) {
        out << "Notice: " << state.message().value_or(u"Nothing was sent."_s) << Qt::endl;
        return 1;
    }
    out << "Thinking: " << state.thinkingText() << Qt::endl;

    waitWhile(state, Stage::thinking);
    if (state.stage() == Stage::review) {
        printReview(*state.review(), out);
        return run ? runAndFix(state, out) : 0;
    }
    out << "Failed: " << state.failureText() << Qt::endl;
    return 1;
}
