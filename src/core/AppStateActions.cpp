// Direct actions: the actions panel performs them; their plans come from the recipes and are put up for
// review like an AI plan.
#include "AppState.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "files/Format.h"
#include "plans/Recipes.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

void AppState::perform(const FileAction& action)
{
    setMessage(std::nullopt);
    if (m_files.isEmpty()) {
        return;
    }
    setReview(std::nullopt);
    setOutcome(std::nullopt);

    switch (action.id) {
    case ActionId::copyPath:
        m_services.workspace->copyText(m_files.join(u'\n'));
        setMessage(u"Path copied."_s);
        return;
    case ActionId::showInFinder:
        m_services.workspace->reveal(m_files);
        return;
    case ActionId::info:
        setDialog(DialogKind::info);
        return;
    case ActionId::rename:
        setDialog(DialogKind::rename);
        return;
    case ActionId::convertImage:
        setDialog(DialogKind::convertImage);
        return;
    case ActionId::convertAudio:
        setDialog(DialogKind::convertAudio);
        return;
    case ActionId::pdfExtract:
        setDialog(DialogKind::pdfExtract);
        return;
    case ActionId::pdfMerge:
        setDialog(DialogKind::pdfMerge);
        return;
    case ActionId::zip:
        offer(Recipes::zip(m_files));
        return;
    case ActionId::extract:
        offer(Recipes::extract(m_files.first()));
        return;
    case ActionId::pdfSmaller:
        offer(Recipes::pdfSmaller(m_files));
        return;
    case ActionId::pdfImages:
        offer(Recipes::pdfImages(m_files));
        return;
    default:
        break;
    }
    if (action.style == ActionStyle::ai) {
        setCurrentAction(action);
        setRequestText({});
        setStage(Stage::asking);
    }
}

void AppState::offer(const Result<ResolvedOption, PlanError>& plan)
{
    if (!plan.ok()) {
        setMessage(plan.error().message);
        return;
    }
    setDialog(std::nullopt);
    putUnderReview(plan.value());
}

void AppState::putUnderReview(const ResolvedOption& option)
{
    setReview(ReviewState{{option}, 0, option.label, option.label, std::nullopt, false, false, 0, std::nullopt});
    setStage(Stage::review);
}

void AppState::prepareConvert(ActionId conversion, const QString& format)
{
    offer(Recipes::convert(conversion, m_files, format, m_toolsReady));
}

void AppState::preparePDFExtract(const QString& pagesText)
{
    if (m_files.isEmpty()) {
        return;
    }
    // Counted by the helper that probed the file, so that no PDF reader runs in this process.
    const std::optional<int> pageCount = m_details ? m_details->facts.pages : std::nullopt;
    if (!pageCount && m_probing) {
        // Pressed before the count came in: answer once it has, rather than call the PDF unreadable.
        m_afterProbe = [this, pagesText] { preparePDFExtract(pagesText); };
        return;
    }
    offer(Recipes::pdfExtract(m_files.first(), pagesText, pageCount.value_or(0)));
}

void AppState::preparePDFMerge(const QStringList& order)
{
    offer(Recipes::pdfMerge(order));
}

void AppState::prepareRename(const QStringList& names, bool keepCopy)
{
    offer(Recipes::rename(m_files, names, keepCopy));
}

QString AppState::infoCommand() const
{
    if (m_files.isEmpty()) {
        return {};
    }
    const QString path = Format::shellQuote(m_files.first());
    const std::optional<FFmpegPair> tools = FFmpegTools::chosen();
    if (tools && (m_kind == FileKind::video || m_kind == FileKind::audio)) {
        // The system's ffprobe is on PATH under its name; the program's own copy is named by its path.
        const QString ffprobe = tools->fromSystem ? u"ffprobe"_s : Format::shellQuote(tools->ffprobe);
        return ffprobe + u" -v error -show_format -show_streams -of json "_s + path;
    }
    // The desktop's own file-information command, present wherever GLib is.
    return u"gio info "_s + path;
}

void AppState::insertCurrentTime(const QString& role)
{
    if (!m_player) {
        return;
    }
    QString text = m_requestText;
    if (!text.isEmpty() && !text.endsWith(u' ')) {
        text += u' ';
    }
    setRequestText(text + role + u' ' + Format::time(m_player->position()) + u' ');
}
