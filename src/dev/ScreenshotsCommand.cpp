// trellick-dev screenshots OUTDIR [--dark]: shows every screen of the window with sample files made on
// the spot and saves one PNG per screen, so that a person can look at them all at once.
#include "DevCommands.h"
#include "core/AppState.h"
#include "files/Actions.h"
#include "platform/AccountHome.h"
#include "ui/DialogRouter.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleFactory>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2e), base(0x1f, 0x1f, 0x22), text(0xe8, 0xe8, 0xea);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3e));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x3d, 0x8b, 0xf0));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0xa0));
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4f));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x44));
    p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x33));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Link, QColor(0x5a, 0x9e, 0xf5));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x84));
    }
    return p;
}

// Loads files the way the window does and waits for the probe to fill in the facts, and for a video's
// player to have read the file, so that its first frame is on screen.
void loadAndProbe(AppState& state, const QWidget& window, const QStringList& paths)
{
    state.load(paths);
    const auto waiting = [&] {
        if (!state.details() || state.details()->facts.lines().isEmpty()) {
            return true;
        }
        // A single video or audio file's player is made once its facts are in.
        const bool playable
            = state.files().size() == 1 && (state.kind() == FileKind::video || state.kind() == FileKind::audio);
        const auto* position = window.findChild<QSlider*>(u"playbackPosition"_s);
        return (playable && !state.player()) || (position && position->isVisible() && position->maximum() == 0);
    };
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10'000 && waiting()) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

void settle()
{
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(20);
    }
}

class Shooter
{
public:
    Shooter(AppState* state, MainWindow* window, const QString& folder)
        : m_state(state)
        , m_window(window)
        , m_folder(folder)
    {
    }

    // The window, with the open sheet drawn over its top like a sheet slides down.
    void shoot(const QString& name)
    {
        settle();
        // Like a user would, scroll to the panel of the current stage.
        auto* scroll = m_window->findChild<QScrollArea*>();
        QWidget* panel = m_window->findChild<QWidget*>(u"stagePanel"_s);
        if (scroll && panel && panel->isVisible()) {
            scroll->ensureWidgetVisible(panel, 0, 20);
        } else if (scroll) {
            scroll->verticalScrollBar()->setValue(0);
        }
        settle();
        QImage image = m_window->grab().toImage();
        QDialog* sheet = m_window->dialogRouter()->current();
        if (!sheet) {
            paintVideo(image);
        } else {
            sheet->adjustSize();
            settle();
            const QImage front = sheet->grab().toImage();
            QPainter painter(&image);
            painter.fillRect(image.rect(), QColor(0, 0, 0, 60));
            const QPoint at((image.width() - front.width()) / 2, 40);
            painter.fillRect(QRect(at, front.size()).adjusted(-1, -1, 1, 1), QColor(0, 0, 0, 90));
            painter.drawImage(at, front);
        }
        const QString path = QDir(m_folder).filePath(name + u".png"_s);
        image.save(path);
        QTextStream(stdout) << path << '\n';
    }

private:
    // A video is drawn in a window of its own, which grab() leaves black: take its pixels from the screen.
    void paintVideo(QImage& image) const
    {
        QPainter painter(&image);
        for (QWidget* view : m_window->findChildren<QWidget*>()) {
            if (!view->inherits("QVideoWidget") || !view->isVisible()) {
                continue;
            }
            const QRect shown = view->visibleRegion().boundingRect();
            const QPoint onScreen = view->mapToGlobal(shown.topLeft());
            const QPixmap pixels
                = view->screen()->grabWindow(0, onScreen.x(), onScreen.y(), shown.width(), shown.height());
            painter.drawPixmap(view->mapTo(m_window, shown.topLeft()), pixels);
        }
    }

    AppState* m_state;
    MainWindow* m_window;
    QString m_folder;
};

// A re-encode with a preset libx264 refuses: it passes every check and fails only when ffmpeg runs it.
QString smallerPlan(const QString& preset)
{
    return u"{\"options\":[{\"label\":\"Smaller\",\"summary\":\"Re-encodes the video at a lower quality.\","
           "\"steps\":[{\"program\":\"ffmpeg\",\"args\":[\"-i\",\"{input}\",\"-c:v\",\"libx264\",\"-preset\",\"%1\","
           "\"-crf\",\"28\",\"-c:a\",\"aac\",\"-n\",\"{output}\"],\"output\":\"holiday (smaller).mp4\","
           "\"summary\":\"Re-encodes the video.\"}]}]}"_s.arg(preset);
}

// Plays a local Ollama: the model list, and a non-streamed chat answer whose first plan fails when it runs
// and whose later ones (the fix) run.
void serveOllama(QTcpServer& server)
{
    server.listen(QHostAddress::LocalHost);
    auto chats = std::make_shared<int>(0);
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, chats] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            auto received = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, received, chats] {
                received->append(socket->readAll());
                const qsizetype headerEnd = received->indexOf("\r\n\r\n");
                if (headerEnd < 0) {
                    return;
                }
                const QByteArray head = received->left(headerEnd).toLower();
                const qsizetype lengthAt = head.indexOf("content-length:");
                const qsizetype length
                    = lengthAt < 0 ? 0 : head.mid(lengthAt + 15).split('\r').first().trimmed().toLongLong();
                if (received->size() < headerEnd + 4 + length) {
                    return;
                }
                QByteArray body;
                if (received->startsWith("POST /api/chat")) {
                    const QJsonObject request = QJsonDocument::fromJson(received->mid(headerEnd + 4)).object();
                    body = QJsonDocument(
                               QJsonObject{{u"model"_s, request.value(u"model"_s)},
                                           {u"created_at"_s, u"2025-01-12T10:35:41.123456789Z"_s},
                                           {u"message"_s,
                                            QJsonObject{{u"role"_s, u"assistant"_s},
                                                        {u"content"_s,
                                                         smallerPlan((*chats)++ == 0 ? u"sluggish"_s : u"fast"_s)}}},
                                           {u"done_reason"_s, u"stop"_s},
                                           {u"done"_s, true}})
                               .toJson(QJsonDocument::Compact);
                } else {
                    body = R"({"models":[{"name":"llama3.2:latest"},{"name":"qwen2.5:7b"}]})";
                }
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                              "Content-Length: "
                              + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
        }
    });
}

// Waits, handling events, until the stage is reached or a minute has gone.
bool waitForStage(const AppState& state, Stage stage)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60'000 && state.stage() != stage) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return state.stage() == stage;
}

void writePdf(const QString& path, int pages)
{
    QPdfWriter writer(path);
    QPainter painter(&writer);
    for (int i = 0; i < pages; ++i) {
        if (i > 0) {
            writer.newPage();
        }
        painter.drawText(400, 400, u"Page "_s + QString::number(i + 1));
    }
}

ResolvedStep step(const QString& summary, const QString& command, const QString& output, bool ffmpeg)
{
    ResolvedStep s;
    s.id = QUuid::createUuid();
    s.summary = summary;
    s.displayCommand = command;
    s.outputPath = output;
    s.isFinal = true;
    s.needsFFmpeg = ffmpeg;
    return s;
}

} // namespace

int devScreenshots(const QStringList& args)
{
    QTextStream err(stderr);
    if (args.isEmpty()) {
        err << "usage: trellick-dev screenshots OUTDIR [--dark]\n";
        return 2;
    }
    // The screens are shown with a sample history and settings, written where the application keeps its own.
    if (QDir(QDir::homePath()) == QDir(AccountHome::path())) {
        err << "screenshots replaces the history and settings with samples; run it through scripts/screenshots, "
               "which gives it a private home\n";
        return 2;
    }
    const QString folder = QFileInfo(args.first()).absoluteFilePath();
    QDir().mkpath(folder);
    QApplication::setStyle(QStyleFactory::create(u"Fusion"_s));
    QApplication::setPalette(args.contains(u"--dark"_s) ? darkPalette() : QApplication::style()->standardPalette());

    QTemporaryDir samples;
    const QString video = samples.filePath(u"holiday.mp4"_s);
    const QString pdf = samples.filePath(u"report.pdf"_s);
    const QString pdf2 = samples.filePath(u"appendix.pdf"_s);
    writePdf(pdf, 4);
    writePdf(pdf2, 2);
    const int made = QProcess::execute(u"ffmpeg"_s,
                                       {u"-v"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                                        u"testsrc2=duration=6:size=1280x720:rate=30"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                                        u"sine=frequency=440:duration=6"_s, u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s,
                                        u"yuv420p"_s, u"-c:a"_s, u"aac"_s, u"-shortest"_s, video});
    if (made != 0) {
        err << "could not make the sample video with ffmpeg\n";
        return 1;
    }

    // The settings window finds this one instead of a real Ollama.
    QTcpServer ollama;
    serveOllama(ollama);
    Services services = Services::system();
    services.endpoints.ollamaBase = AIEndpoints::ollamaBaseFrom(u"127.0.0.1:"_s + QString::number(ollama.serverPort()));
    AppState state(std::move(services));
    MainWindow window(&state);
    window.resize(860, 900);
    window.show();
    Shooter shooter(&state, &window, folder);

    shooter.shoot(u"01-first-screen"_s);

    loadAndProbe(state, window, {video});
    shooter.shoot(u"02-video-card"_s);

    state.setMessage(u"Path copied."_s);
    shooter.shoot(u"03-notice"_s);
    state.setMessage(std::nullopt);

    state.setCurrentAction(Actions::video().constFirst());
    state.setStage(Stage::asking);
    state.setRequestText(u"Keep from 0:10 to 0:40"_s);
    shooter.shoot(u"04-request"_s);
    for (QToolButton* toggle : window.findChildren<QToolButton*>(u"showSent"_s)) {
        toggle->click();
    }
    shooter.shoot(u"04-request-what-will-be-sent"_s);
    for (QToolButton* toggle : window.findChildren<QToolButton*>(u"showSent"_s)) {
        toggle->click();
    }
    state.setDialog(DialogKind::whatWillBeSent);
    shooter.shoot(u"04-what-will-be-sent-dialog"_s);
    state.setDialog(std::nullopt);

    state.setStage(Stage::thinking);
    state.setThinkingText(u"Asking OpenRouter..."_s);
    shooter.shoot(u"05-thinking"_s);

    ResolvedOption fast;
    fast.id = QUuid::createUuid();
    fast.label = u"Fast (no re-encoding)"_s;
    fast.summary = u"Keeps 0:10 to 0:40 by copying the streams; the cut may start at the nearest keyframe."_s;
    fast.steps = {step(u"Cut 0:10 to 0:40"_s, u"ffmpeg -ss 10 -to 40 -i holiday.mp4 -c copy 'holiday (cut).mp4'"_s,
                       samples.filePath(u"holiday (cut).mp4"_s), true)};
    ResolvedOption exact = fast;
    exact.id = QUuid::createUuid();
    exact.label = u"Exact (re-encode)"_s;
    exact.summary = u"Keeps exactly 0:10 to 0:40 and re-encodes the video, then makes a smaller copy."_s;
    exact.warnings = {u"Re-encoding takes longer than copying."_s};
    exact.steps = {step(u"Cut exactly"_s, u"ffmpeg -i holiday.mp4 -ss 10 -to 40 -c:v libx264 -crf 20 cut.mp4"_s,
                        samples.filePath(u"cut.mp4"_s), true),
                   step(u"Make it smaller"_s, u"ffmpeg -i cut.mp4 -vf scale=-2:720 'holiday (cut).mp4'"_s,
                        samples.filePath(u"holiday (cut).mp4"_s), true)};
    state.setReview(ReviewState{{fast, exact},
                                1,
                                u"Keep from 0:10 to 0:40"_s,
                                u"Trim or cut parts"_s,
                                u"meta-llama/llama-3.3-70b-instruct:free"_s,
                                false,
                                true,
                                0,
                                std::nullopt});
    state.setStage(Stage::review);
    shooter.shoot(u"06-review"_s);

    state.setStage(Stage::installing);
    state.setInstallFraction(0.35);
    state.setInstallText(u"Downloading ffmpeg... 12.4 of 35.1 MB"_s);
    shooter.shoot(u"07-installing"_s);

    state.setStage(Stage::running);
    state.setRunFraction(0.42);
    state.setRunText(u"Step 1 of 2: Cut exactly, 0:12 of 0:30"_s);
    shooter.shoot(u"08-running"_s);

    const QString cut = samples.filePath(u"holiday (cut).mp4"_s);
    const QString smaller = samples.filePath(u"report (smaller).pdf"_s);
    state.setOutcome(RunOutcome{{cut, smaller},
                                {{cut, u"0:38 · 1280 × 720 · 4.2 MB"_s, u"Expected about 0:30, got 0:38."_s},
                                 {smaller, u"12 pages · 2.1 MB, 61 % smaller than the original"_s, {}}}});
    state.setStage(Stage::finished);
    shooter.shoot(u"09-finished"_s);

    state.setFailureBack(Stage::review);
    state.fail(
        u"ffmpeg stopped: the file could not be read."_s,
        u"[mov,mp4,m4a,3gp,3g2,mj2 @ 0x55d1] moov atom not found\nholiday.mp4: Invalid data found when processing input"_s);
    shooter.shoot(u"10-failed"_s);
    for (QToolButton* toggle : window.findChildren<QToolButton*>(u"showDetails"_s)) {
        toggle->click();
    }
    shooter.shoot(u"10-failed-details"_s);
    state.cancelPlan();

    // A real run of an AI plan that fails, which offers "Try to fix", and the review of the plan the fix brings.
    state.settings().setProvider(AIProviderKind::ollama);
    state.settings().setOllamaModel(u"llama3.2:latest"_s);
    state.settings().setAcknowledgedSend(true);
    const QList<FileAction> actions = state.actions();
    const auto makeSmaller
        = std::find_if(actions.begin(), actions.end(), [](const FileAction& a) { return a.id == ActionId::smaller; });
    if (makeSmaller == actions.end()) {
        err << "the video offers no \"Make smaller\"\n";
        return 1;
    }
    state.perform(*makeSmaller);
    state.setRequestText(u"Make it smaller"_s);
    state.requestAI();
    if (!waitForStage(state, Stage::review)) {
        err << "the local model's plan did not reach the review: " << state.failureText() << '\n';
        return 1;
    }
    state.startRun();
    if (!waitForStage(state, Stage::failed) || !state.canTryFix()) {
        err << "the plan was meant to fail at Run and offer \"Try to fix\"\n";
        return 1;
    }
    shooter.shoot(u"10-failed-fixable"_s);
    for (QToolButton* toggle : window.findChildren<QToolButton*>(u"showDetails"_s)) {
        toggle->click();
    }
    shooter.shoot(u"10-failed-fixable-details"_s);
    state.tryFix();
    if (!waitForStage(state, Stage::review)) {
        err << "the fixed plan did not reach the review: " << state.failureText() << '\n';
        return 1;
    }
    shooter.shoot(u"10-review-fixed"_s);
    state.cancelPlan();
    state.settings().setProvider(AIProviderKind::openRouter);

    state.setDialog(DialogKind::info);
    shooter.shoot(u"11-info"_s);
    state.load({video, pdf});
    state.setDialog(DialogKind::rename);
    shooter.shoot(u"12-rename"_s);
    if (QDialog* rename = window.dialogRouter()->current()) {
        for (QToolButton* toggle : rename->findChildren<QToolButton*>(u"showSent"_s)) {
            toggle->click();
        }
    }
    shooter.shoot(u"12-rename-what-will-be-sent"_s);
    state.setDialog(DialogKind::convertImage);
    shooter.shoot(u"13-convert-pictures"_s);
    state.setDialog(DialogKind::convertAudio);
    shooter.shoot(u"14-convert-audio"_s);

    loadAndProbe(state, window, {pdf, pdf2});
    state.setDialog(DialogKind::pdfExtract);
    shooter.shoot(u"15-extract-pages"_s);
    state.setDialog(DialogKind::pdfMerge);
    shooter.shoot(u"16-merge"_s);
    state.setDialog(DialogKind::settings);
    shooter.shoot(u"17-settings-openrouter"_s);
    state.setDialog(std::nullopt);
    state.settings().setProvider(AIProviderKind::ollama);
    state.setDialog(DialogKind::settings);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5'000 && state.settings().ollamaModels().isEmpty()) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    shooter.shoot(u"18-settings-ollama"_s);
    // Two runs: an AI plan, which can run again, and a direct action, which cannot.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    state.history().clear();
    state.history().add(HistoryEntry{QUuid::createUuid(), now.addSecs(-3600), u"report.pdf"_s, pdf,
                                     u"Compress to .zip"_s, u"zip -r -X 'report.zip' 'report.pdf'"_s,
                                     u"Done: report.zip"_s, std::nullopt});
    state.history().add(
        HistoryEntry{QUuid::createUuid(), now.addSecs(-60), u"holiday.mp4"_s, video, u"Keep from 0:10 to 0:40"_s,
                     u"ffmpeg -ss 10 -i holiday.mp4 -t 30 -c copy 'holiday (cut).mp4'"_s, u"Done: holiday (cut).mp4"_s,
                     RawOption{u"Fast"_s, u"Keeps 0:10 to 0:40."_s, {}, 30, {}}});
    state.setDialog(DialogKind::history);
    shooter.shoot(u"19-history"_s);
    state.setDialog(std::nullopt);
    shooter.shoot(u"20-pdf-card"_s);
    // Ollama with a model is chosen by now, so the first screen says the AI is ready.
    state.clearFiles();
    shooter.shoot(u"21-first-screen-ai-ready"_s);
    return 0;
}
