#include "DevCommands.h"
#include "DevLoader.h"
#include "base/EnumNames.h"
#include "base/ProcessJob.h"
#include "exec/RunFolders.h"
#include "files/Actions.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

// Prints what the desktop would be asked to do instead of doing it.
class PrintingWorkspace : public Workspace
{
public:
    explicit PrintingWorkspace(QTextStream& out)
        : m_out(out)
    {
    }
    void copyText(const QString& text) override { m_out << "Clipboard: " << text << Qt::endl; }
    void reveal(const QStringList& paths) override { m_out << "Reveal: " << paths.join(u", "_s) << Qt::endl; }
    void open(const QString& path) override { m_out << "Open: " << path << Qt::endl; }

private:
    QTextStream& m_out;
};

struct Options
{
    QString action;
    QString format;
    QString pages;
    QStringList names;
    bool keepCopy = false;
    QStringList paths;
};

std::optional<Options> parse(QStringList args)
{
    Options options;
    if (args.isEmpty()) {
        return std::nullopt;
    }
    options.action = args.takeFirst();
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (arg == u"--keep-copy"_s) {
            options.keepCopy = true;
        } else if (arg == u"--format"_s || arg == u"--pages"_s || arg == u"--names"_s) {
            if (args.isEmpty()) {
                return std::nullopt;
            }
            const QString value = args.takeFirst();
            if (arg == u"--format"_s) {
                options.format = value;
            } else if (arg == u"--pages"_s) {
                options.pages = value;
            } else {
                options.names = value.split(u',');
            }
        } else {
            options.paths << QFileInfo(arg).absoluteFilePath();
        }
    }
    if (options.paths.isEmpty()) {
        return std::nullopt;
    }
    return options;
}

// Answers the dialog an action opened the way the user would, from the command-line options.
void answerDialog(AppState& state, const Options& options, QTextStream& out)
{
    switch (state.dialog().value()) {
    case DialogKind::convertImage:
        state.prepareConvert(ActionId::convertImage, options.format);
        break;
    case DialogKind::convertAudio:
        state.prepareConvert(ActionId::convertAudio, options.format);
        break;
    case DialogKind::pdfExtract:
        state.preparePDFExtract(options.pages);
        break;
    case DialogKind::pdfMerge:
        state.preparePDFMerge(state.files());
        break;
    case DialogKind::rename:
        state.prepareRename(options.names, options.keepCopy);
        break;
    case DialogKind::info: {
        const QString command = state.infoCommand();
        out << "Command: " << command << Qt::endl;
        const ProcResult result = ProcessJob::runBlocking(u"/bin/sh"_s, {u"-c"_s, command});
        out << result.out << result.err;
        state.setDialog(std::nullopt);
        break;
    }
    default:
        break;
    }
}

void printReview(const ReviewState& review, QTextStream& out)
{
    const ResolvedOption& option = review.options.at(review.selected);
    out << "Plan: " << option.label << Qt::endl;
    out << "Summary: " << option.summary << Qt::endl;
    for (const QString& warning : option.warnings) {
        out << "Warning: " << warning << Qt::endl;
    }
    for (const ResolvedStep& step : option.steps) {
        out << "Step: " << step.summary << Qt::endl;
        out << "  $ " << step.displayCommand << Qt::endl;
    }
}

} // namespace

int devDo(const QStringList& args)
{
    QTextStream out(stdout);
    RunFolders::removeLeftovers(QDir::tempPath()); // as the application does when it starts
    const auto options = parse(args);
    if (!options) {
        QTextStream(stderr) << "usage: trellick-dev do ACTION-ID [--format F] [--pages TEXT] [--names A,B] "
                               "[--keep-copy] PATH...\n";
        return 2;
    }
    DevLoader loader;
    Services services = loader.services();
    services.workspace = std::make_shared<PrintingWorkspace>(out);
    AppState state(std::move(services));
    QObject::connect(&state, &AppState::stageChanged, &state,
                     [&] { out << "Stage: " << EnumNames::name(state.stage()) << Qt::endl; });
    QObject::connect(&state, &AppState::messageChanged, &state, [&] {
        if (state.message()) {
            out << "Notice: " << *state.message() << Qt::endl;
        }
    });
    QObject::connect(&state, &AppState::installTextChanged, &state,
                     [&] { out << "Install: " << state.installText() << Qt::endl; });
    QObject::connect(&state, &AppState::runTextChanged, &state, [&] { out << "Run: " << state.runText() << Qt::endl; });

    loader.load(state, options->paths);
    if (state.files().isEmpty()) {
        return 1;
    }
    const QList<FileAction> offered = state.actions();
    const auto action = std::find_if(offered.begin(), offered.end(),
                                     [&](const FileAction& a) { return Actions::rawId(a.id) == options->action; });
    if (action == offered.end()) {
        QTextStream(stderr) << "“" << options->action << "” is not offered for this selection.\n";
        return 2;
    }
    state.perform(*action);
    if (state.dialog()) {
        answerDialog(state, *options, out);
    }
    if (state.stage() == Stage::asking) {
        QTextStream(stderr) << "“" << options->action << "” is planned by the AI, which this command does not ask.\n";
        return 2;
    }
    if (state.stage() != Stage::review) {
        return state.message() && *state.message() != u"Path copied."_s ? 1 : 0;
    }
    printReview(*state.review(), out);

    QEventLoop loop;
    QObject::connect(&state, &AppState::stageChanged, &loop, [&] {
        if (state.stage() == Stage::finished || state.stage() == Stage::failed || state.stage() == Stage::review) {
            loop.quit();
        }
    });
    state.startRun();
    loop.exec();
    state.history().waitForWrites();

    if (state.stage() == Stage::finished) {
        printChecked(out, *state.outcome());
        return 0;
    }
    if (state.stage() == Stage::failed) {
        out << "Failed: " << state.failureText() << Qt::endl;
        if (!state.failureDetails().isEmpty()) {
            out << "Details: " << state.failureDetails() << Qt::endl;
        }
    }
    return 1;
}
