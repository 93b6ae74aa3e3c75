#include "DevCommands.h"
#include "DevLoader.h"
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

} // namespace

// Types a request for an AI action on one file and prints the plan the AI proposes, checked, or the failure.
// The provider and its credentials are the user's settings; consent to send is taken as given.
int devAsk(const QStringList& args)
{
    QTextStream out(stdout);
    if (args.size() != 3) {
        QTextStream(stderr) << "usage: trellick-dev ask ACTION-ID \"REQUEST\" PATH\n";
        return 2;
    }
    const QString& actionId = args.at(0);
    DevLoader loader;
    AppState state(loader.services());
    loader.load(state, {QFileInfo(args.at(2)).absoluteFilePath()});
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
    state.setRequestText(args.at(1));
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

    QEventLoop loop;
    QObject::connect(&state, &AppState::stageChanged, &loop, [&] {
        if (state.stage() != Stage::thinking) {
            loop.quit();
        }
    });
    loop.exec();
    if (state.stage() == Stage::review) {
        printReview(*state.review(), out);
        return 0;
    }
    out << "Failed: " << state.failureText() << Qt::endl;
    return 1;
}
