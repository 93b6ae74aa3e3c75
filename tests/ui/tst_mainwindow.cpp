#include "FakePlayer.h"
#include "FakeSignIn.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TestMedia.h"
#include "TestPdf.h"
#include "TestServices.h"
#include "WidgetFinder.h"
#include "ai/AIPrompts.h"
#include "ai/PlanService.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "core/AppState.h"
#include "files/Actions.h"
#include "ui/ContentView.h"
#include "ui/DialogRouter.h"
#include "ui/DropZoneView.h"
#include "ui/FileDialogs.h"
#include "ui/FilesAndFoldersDialog.h"
#include "ui/MainWindow.h"
#include "ui/PDFExtractDialog.h"
#include "ui/PDFMergeDialog.h"
#include "ui/RenameDialog.h"
#include "ui/SettingsView.h"
#include "ui/StagePanel.h"
#include "ui/Style.h"
#include "ui/SymbolLabel.h"

#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;
using WidgetFinder::shown;
using WidgetFinder::shownByObjectName;

namespace {

const QString account = u"openrouter-api-key"_s;

// The text of a shown label, or a marker that it is not shown.
QString shownText(QWidget* root, const QString& objectName)
{
    auto* label = shownByObjectName<QLabel>(root, objectName);
    return label ? label->text() : u"(not shown)"_s;
}

const QList<Stage> allStages{Stage::idle,       Stage::asking,  Stage::thinking, Stage::review,
                             Stage::installing, Stage::running, Stage::finished, Stage::failed};

const QHash<Stage, QString> panelNames{
    {Stage::asking, u"requestView"_s},     {Stage::thinking, u"thinkingRow"_s}, {Stage::review, u"planView"_s},
    {Stage::installing, u"installView"_s}, {Stage::running, u"runView"_s},      {Stage::finished, u"resultView"_s},
    {Stage::failed, u"failedView"_s},
};

ResolvedStep step(const QString& summary, const QString& output, bool needsFFmpeg = false)
{
    ResolvedStep s;
    s.id = QUuid::createUuid();
    s.summary = summary;
    s.outputPath = output;
    s.isFinal = true;
    s.needsFFmpeg = needsFFmpeg;
    s.displayCommand = u"ffmpeg -i in.mp4 "_s + output;
    return s;
}

ResolvedOption option(const QString& label, const QString& summary, QList<ResolvedStep> steps)
{
    ResolvedOption o;
    o.id = QUuid::createUuid();
    o.label = label;
    o.summary = summary;
    o.steps = std::move(steps);
    return o;
}

// A plan under review; an AI plan names the model that answered.
ReviewState review(QList<ResolvedOption> options, const std::optional<QString>& model = {}, bool retried = false)
{
    return ReviewState{std::move(options), 0, u"r"_s, u"t"_s, model, retried, model.has_value(), 0, std::nullopt};
}

FileDetails details(const QString& path, const QString& name)
{
    FileDetails d;
    d.path = path;
    d.name = name;
    d.kind = FileKind::video;
    d.kindText = u"MPEG-4 video"_s;
    d.sizeText = u"1.2 MB"_s;
    return d;
}

} // namespace

// The window, its stage panels and its sheets (the settings among them), against local stand-ins for
// OpenRouter, its sign-in page and Ollama.
class TestMainWindow : public QObject
{
    Q_OBJECT

    AppState* m_state = nullptr;
    MainWindow* m_window = nullptr;
    QTemporaryDir m_dir;
    QTemporaryDir m_pathDir; // a PATH without ffmpeg
    TestFiles::ScopedPath m_path{m_pathDir.path()};
    std::unique_ptr<FakeSignIn> m_signIn;
    std::unique_ptr<AITestServices> m_ai;

    AISettings& settings() { return m_state->settings(); }
    SettingsView* openSettings() { return qobject_cast<SettingsView*>(open(DialogKind::settings)); }
    int looksForOllama() const { return int(m_ai->ollama.server().requests("/api/tags").size()); }

    QString file(const QString& name) { return m_dir.filePath(name); }

    void chooseVideo()
    {
        m_state->setFiles({file(u"holiday.mp4"_s)});
        m_state->setKind(FileKind::video);
        m_state->setDetails(details(file(u"holiday.mp4"_s), u"holiday.mp4"_s));
    }

    QWidget* panel(Stage stage) const { return m_window->findChild<QWidget*>(panelNames.value(stage)); }

    QDialog* open(DialogKind kind)
    {
        m_state->setDialog(kind);
        return m_window->dialogRouter()->current();
    }

    // A video chosen, an AI action picked and `request` typed, as the user would.
    void askingWith(const QString& request)
    {
        chooseVideo();
        m_state->setCurrentAction(Actions::video().constFirst());
        m_state->setStage(Stage::asking);
        m_state->setRequestText(request);
    }

    void signInToOpenRouter()
    {
        QVERIFY(m_ai->keychain->save(u"sk-or-test"_s, account));
        m_state->settings().readKey();
        QTRY_VERIFY(m_state->settings().signedIn());
    }

private slots:
    void init()
    {
        QSettings(u"Trellick"_s, u"Trellick"_s).clear();
        m_signIn = std::make_unique<FakeSignIn>();
        m_ai = std::make_unique<AITestServices>(false);
        m_ai->services.endpoints.openRouterWebBase = m_signIn->url();
        m_ai->services.makePlayer = [](const QString& path, QObject* parent) { return new FakePlayer(path, parent); };
        m_state = new AppState(m_ai->services);
        QTRY_VERIFY(!m_state->settings().readingKey());
        m_window = new MainWindow(m_state);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }

    void cleanup()
    {
        delete m_window;
        delete m_state;
        // One at a time: the sign-in stand-in is the browser of the whole program while it lives.
        m_signIn.reset();
        QDir(AppPaths::binDir()).removeRecursively();
    }

    void renameIsPrefilledWithTheCurrentNames()
    {
        m_state->setFiles({file(u"a.txt"_s), file(u"Photo 1.JPG"_s), file(u"notes"_s)});
        m_state->setMessage(u"Path copied."_s);
        auto* dialog = qobject_cast<RenameDialog*>(open(DialogKind::rename));
        QVERIFY(dialog);
        QCOMPARE(m_state->message(), std::nullopt); // cleared when shown
        QCOMPARE(dialog->names(), (QStringList{u"a.txt"_s, u"Photo 1.JPG"_s, u"notes"_s}));
        QVERIFY(!dialog->keepCopy());
        auto* field = shown<QLineEdit>(dialog, u"New name for Photo 1.JPG"_s);
        QVERIFY(field);
        QCOMPARE(field->placeholderText(), u"New name"_s);
        field->setText(u"beach.jpg"_s);
        QCOMPARE(dialog->names().value(1), u"beach.jpg"_s);
    }

    void extractTellsThePageCount_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("text");
        QTest::newRow("not a PDF") << 0 << u"Type the pages to keep, like 1-3, 5."_s;
        QTest::newRow("three pages") << 3 << u"This PDF has 3 pages. Type the pages to keep, like 1-3, 5."_s;
    }

    void extractTellsThePageCount()
    {
        QFETCH(int, pages);
        QFETCH(QString, text);
        const QString path = pages > 0 ? TestPdf::write(file(u"doc.pdf"_s), pages)
                                       : TestFiles::write(file(u"doc.pdf"_s), "%PDF-1.4 this is not really a PDF");
        // The count arrives with the probed facts, after the sheet has opened.
        m_state->load({path});
        auto* dialog = qobject_cast<PDFExtractDialog*>(open(DialogKind::pdfExtract));
        QVERIFY(dialog);
        QTRY_COMPARE_WITH_TIMEOUT(dialog->count(), pages, 20000);
        QCOMPARE(dialog->findChild<QLabel*>(u"pagesHint"_s)->text(), text);
        auto* preview = shown<QPushButton>(dialog, u"Preview"_s);
        QVERIFY(preview->isDefault());
        QVERIFY(!preview->isEnabled());
        shown<QLineEdit>(dialog, u"Pages"_s)->setText(u"  "_s);
        QVERIFY(!preview->isEnabled());
        shown<QLineEdit>(dialog, u"Pages"_s)->setText(u"1-2"_s);
        QVERIFY(preview->isEnabled());
    }

    void mergeArrangesTheOrder()
    {
        const QString a = file(u"a.pdf"_s), b = file(u"b.pdf"_s), c = file(u"c.pdf"_s);
        m_state->setFiles({a, file(u"picture.jpg"_s), b, c});
        auto* dialog = qobject_cast<PDFMergeDialog*>(open(DialogKind::pdfMerge));
        QVERIFY(dialog);
        QCOMPARE(dialog->order(), (QStringList{a, b, c}));
        QVERIFY(!shown<QToolButton>(dialog, u"Move up a.pdf"_s)->isEnabled());
        QVERIFY(!shown<QToolButton>(dialog, u"Move down c.pdf"_s)->isEnabled());
        shown<QToolButton>(dialog, u"Move up c.pdf"_s)->click();
        QCOMPARE(dialog->order(), (QStringList{a, c, b}));
        shown<QToolButton>(dialog, u"Move down a.pdf"_s)->click();
        QCOMPARE(dialog->order(), (QStringList{c, a, b}));
        QCOMPARE(WidgetFinder::shownTexts<QLabel>(dialog, u"mergeRow"_s),
                 (QStringList{u"1. c.pdf"_s, u"2. a.pdf"_s, u"3. b.pdf"_s}));

        // Adding skips what is already listed and keeps the chooser's order.
        const QString d = file(u"d.pdf"_s), e = file(u"e.pdf"_s);
        FileDialogs::setNextAnswer({e, a, d});
        shown<QPushButton>(dialog, u"Add PDFs..."_s)->click();
        QCOMPARE(dialog->order(), (QStringList{c, a, b, e, d}));
        // PDFs are known by their content; anything else picked is refused with a word.
        const QString shouty = TestPdf::write(file(u"report.Pdf"_s), 1), bare = TestPdf::write(file(u"scan"_s), 1);
        const QString text = TestFiles::write(file(u"notes.txt"_s), "not a PDF");
        FileDialogs::setNextAnswer({shouty, text, bare});
        shown<QPushButton>(dialog, u"Add PDFs..."_s)->click();
        QCOMPARE(dialog->order(), (QStringList{c, a, b, e, d, shouty, bare}));
        QCOMPARE(m_state->message(), u"“notes.txt” is not a PDF, so it was not added."_s);
        m_state->setMessage(std::nullopt);

        auto* preview = shown<QPushButton>(dialog, u"Preview"_s);
        for (const QString& name : {u"c.pdf"_s, u"a.pdf"_s, u"b.pdf"_s, u"e.pdf"_s, u"report.Pdf"_s, u"scan"_s}) {
            QVERIFY(preview->isEnabled());
            shown<QToolButton>(dialog, u"Remove "_s + name)->click();
        }
        QCOMPARE(dialog->order(), QStringList{d});
        QVERIFY(!preview->isEnabled());
        shown<QToolButton>(dialog, u"Remove d.pdf"_s)->click();
        QVERIFY(dialog->order().isEmpty());
        QVERIFY(!preview->isEnabled());
    }

    void infoListsPathsAndDetails()
    {
        m_state->setFiles({file(u"a.mp4"_s), file(u"b.mp4"_s)});
        FileDetails d = details(file(u"a.mp4"_s), u"a.mp4"_s);
        m_state->setDetails(d);
        QDialog* dialog = open(DialogKind::info);
        QVERIFY(!dialog->findChild<QLabel*>(u"info_Duration"_s));
        // The probe's facts come after the sheet opened.
        d.facts.duration = 12;
        d.facts.source = u"libavformat"_s;
        m_state->setDetails(d);
        QCOMPARE(WidgetFinder::shownTexts<QLabel>(dialog, u"infoPath"_s), m_state->files());
        QCOMPARE(WidgetFinder::shownTexts<QLabel>(dialog, u"info_"_s),
                 (QStringList{u"a.mp4"_s, u"MPEG-4 video"_s, u"1.2 MB"_s, u"0:12"_s, u"libavformat"_s}));
        QVERIFY(shown<QPushButton>(dialog, u"Close"_s)->isDefault());
        QTest::keyClick(dialog, Qt::Key_Return);
        QCOMPARE(m_state->dialog(), std::nullopt);
    }

    void historyOffersReRunOnlyForPlansItKept()
    {
        HistoryStore& history = m_state->history();
        history.clear();
        QDialog* dialog = open(DialogKind::history);
        QVERIFY(WidgetFinder::shownByObjectName(dialog, u"historyEmpty"_s));
        QVERIFY(!shown<QPushButton>(dialog, u"Clear all"_s));

        const HistoryEntry direct{QUuid::createUuid(),   QDateTime::currentDateTimeUtc(), u"notes.txt"_s,       {},
                                  u"Compress to .zip"_s, u"zip notes.zip notes.txt"_s,    u"Done: notes.zip"_s, {}};
        HistoryEntry asked = direct;
        asked.id = QUuid::createUuid();
        asked.fileName = u"clip.mp4"_s;
        asked.option = RawOption{u"MP3"_s, u"Audio only"_s, {}, std::nullopt, {}};
        history.add(direct);
        history.add(asked);

        QVERIFY(!WidgetFinder::shownByObjectName(dialog, u"historyEmpty"_s));
        QVERIFY(shown<QPushButton>(dialog, u"Clear all"_s));
        QVERIFY(!shown<QPushButton>(dialog, u"Re-run notes.txt"_s)->isEnabled());
        QVERIFY(shown<QPushButton>(dialog, u"Re-run clip.mp4"_s)->isEnabled());
        shown<QPushButton>(dialog, u"Delete notes.txt"_s)->click();
        QCOMPARE(history.entries().size(), 1);
        QVERIFY(!shown<QPushButton>(dialog, u"Re-run notes.txt"_s));
        shown<QPushButton>(dialog, u"Clear all"_s)->click();
        QVERIFY(history.entries().isEmpty());
        QVERIFY(WidgetFinder::shownByObjectName(dialog, u"historyEmpty"_s));
        history.waitForWrites();
    }
    void suggestWithoutAIShowsTheProblemAndAsksNothing()
    {
        m_state->setFiles({file(u"a.txt"_s)});
        QDialog* dialog = open(DialogKind::rename);
        auto* suggest = shown<QPushButton>(dialog, u"Suggest"_s);
        QVERIFY(!suggest->isEnabled()); // nothing asked yet
        shown<QLineEdit>(dialog, u"Naming request"_s)->setText(u" \t "_s);
        QVERIFY(!suggest->isEnabled());
        shown<QLineEdit>(dialog, u"Naming request"_s)->setText(u"lower case"_s);
        suggest->click();
        QCOMPARE(shownText(dialog, u"problem"_s),
                 u"AI is not set up. Sign in to OpenRouter in Settings to use free models."_s);
        QCOMPARE(dialog->findChild<QLabel*>(u"problem"_s)->palette().color(QPalette::WindowText), Style::red());
        QVERIFY(suggest->isEnabled());
        QTest::qWait(100);
        QVERIFY(m_ai->openRouter.server().requests().isEmpty());
    }

    void suggestFillsTheNamesOrSaysWhy_data()
    {
        QTest::addColumn<AIProviderKind>("provider");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no names in the answer")
            << AIProviderKind::ollama << u"I would call them beach and notes."_s
            << QStringList{u"Photo 1.JPG"_s, u"notes.txt"_s}
            << PlanService::notUsable(AIChannel{AIProviderKind::ollama, {}, u"llama3.2"_s}).message;
        QTest::newRow("one name per file")
            << AIProviderKind::openRouter << u"{\"names\": [\"beach.jpg\", \"notes 2026.txt\"]}"_s
            << QStringList{u"beach.jpg"_s, u"notes 2026.txt"_s} << u"(not shown)"_s;
    }

    void suggestFillsTheNamesOrSaysWhy()
    {
        QFETCH(AIProviderKind, provider);
        QFETCH(QString, answer);
        QFETCH(QStringList, names);
        QFETCH(QString, problem);
        if (provider == AIProviderKind::openRouter) {
            signInToOpenRouter();
            m_ai->openRouter.answerEveryChat(answer);
        } else {
            m_state->settings().setProvider(AIProviderKind::ollama);
            m_state->settings().setOllamaModel(u"llama3.2"_s);
            m_ai->ollama.answerEveryChat(answer);
        }
        m_state->setFiles({file(u"Photo 1.JPG"_s), file(u"notes.txt"_s)});
        auto* dialog = qobject_cast<RenameDialog*>(open(DialogKind::rename));
        shown<QToolButton>(dialog, u"What will be sent"_s)->click();
        auto* sent = shown<QPlainTextEdit>(dialog, u"What will be sent"_s);
        QVERIFY(sent->toPlainText().contains(u"Request: (your request)\n"_s));
        shown<QLineEdit>(dialog, u"Naming request"_s)->setText(u"  beach photo, and the year on the notes "_s);
        const QString preview = sent->toPlainText();

        auto* suggest = shown<QPushButton>(dialog, u"Suggest"_s);
        suggest->click();
        QCOMPARE(suggest->text(), u"Asking..."_s);
        QVERIFY(!suggest->isEnabled());
        QTRY_COMPARE(suggest->text(), u"Suggest"_s);
        QVERIFY(suggest->isEnabled());
        QCOMPARE(dialog->names(), names);
        QCOMPARE(shownText(dialog, u"problem"_s), problem);
        // What the dialog showed is exactly what went out.
        const QList<QJsonObject> bodies
            = provider == AIProviderKind::openRouter ? m_ai->openRouter.chatBodies() : m_ai->ollama.chatBodies();
        QCOMPARE(bodies.size(), 1);
        QVERIFY(preview.contains(u"\n\nYour message:\n"_s + FakeChatServer::userMessage(bodies.first()) + u"\n\n"_s));
    }

    // Without AI the form says so and Ask AI opens the settings; once signed in, the first Ask AI shows what
    // will be sent, and Send there is remembered.
    void askAIFromSetUpToConsent()
    {
        askingWith(u"Keep from 0:10 to 0:40"_s);
        const QString hint = u"Sign in to OpenRouter in Settings to use free models."_s;
        auto* setupHint = WidgetFinder::shownByObjectName<SymbolLabel>(m_window, u"setupHint"_s);
        QVERIFY(setupHint);
        QCOMPARE(setupHint->text(), u"AI is not set up. "_s + hint);
        shown<QPushButton>(m_window, u"Ask AI"_s)->click();
        QCOMPARE(m_state->message(), u"AI is not set up yet. "_s + hint);
        QVERIFY(qobject_cast<SettingsView*>(m_window->dialogRouter()->current()));
        shown<QPushButton>(m_window->dialogRouter()->current(), u"Done"_s)->click();

        signInToOpenRouter();
        QVERIFY(!WidgetFinder::shownByObjectName<SymbolLabel>(m_window, u"setupHint"_s));
        m_ai->openRouter.setChat([](const QJsonObject&) { return LocalHttpServer::Reply::hang(); });
        shown<QPushButton>(m_window, u"Ask AI"_s)->click();
        QCOMPARE(m_state->dialog(), DialogKind::whatWillBeSent);
        QDialog* dialog = m_window->dialogRouter()->current();
        QVERIFY(dialog);
        auto* sent = shown<QPlainTextEdit>(dialog, u"What will be sent"_s);
        const QString before = sent->toPlainText();
        QCOMPARE(m_state->stage(), Stage::asking);
        // A fact probed while the dialog is open is shown before it can go out.
        FileDetails details = *m_state->details();
        details.facts.duration = 754;
        m_state->setDetails(details);
        const QString preview = sent->toPlainText();
        QVERIFY(preview != before);
        QVERIFY(preview.contains(u"12:34"_s));

        shown<QPushButton>(dialog, u"Send"_s)->click();
        QVERIFY(m_state->settings().acknowledgedSend());
        QCOMPARE(QSettings(u"Trellick"_s, u"Trellick"_s).value(u"acknowledgedSend"_s).toBool(), true);
        QCOMPARE(m_state->dialog(), std::nullopt);
        QCOMPARE(m_state->stage(), Stage::thinking);
        QTRY_COMPARE(m_ai->openRouter.chatBodies().size(), 1);
        QVERIFY(preview.contains(u"\n\nYour message:\n"_s
                                 + FakeChatServer::userMessage(m_ai->openRouter.chatBodies().first()) + u"\n\n"_s));

        // The next request goes out at once.
        m_state->cancelThinking();
        shown<QPushButton>(m_window, u"Ask AI"_s)->click();
        QCOMPARE(m_state->dialog(), std::nullopt);
        QCOMPARE(m_state->stage(), Stage::thinking);
        QTRY_COMPARE(m_ai->openRouter.chatBodies().size(), 2);
    }

    // The open panel lets the user pick files and folders together.
    void choosesFilesAndFoldersTogether()
    {
        const QString file = TestFiles::write(m_dir.filePath(u"a.txt"_s), "x");
        const QString folder = m_dir.filePath(u"sub"_s);
        QVERIFY(QDir().mkpath(folder));
        FilesAndFoldersDialog dialog(nullptr, u"Choose the file or files to work on"_s);
        QCOMPARE(dialog.windowTitle(), u"Choose the file or files to work on"_s);
        dialog.setDirectory(m_dir.path());
        dialog.selectFile(uR"("sub" "a.txt")"_s);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.selectedFiles(), (QStringList{folder, file}));
    }

    void openingLooksForOllamaOnlyWhenItIsChosen_data()
    {
        QTest::addColumn<AIProviderKind>("provider");
        QTest::addColumn<int>("looks");
        QTest::newRow("openRouter") << AIProviderKind::openRouter << 0;
        QTest::newRow("ollama") << AIProviderKind::ollama << 1;
    }

    void openingLooksForOllamaOnlyWhenItIsChosen()
    {
        QFETCH(AIProviderKind, provider);
        QFETCH(int, looks);
        m_ai->ollama.setModels({u"llama3.2:latest"_s, u"qwen2.5:7b"_s});
        settings().setProvider(provider);
        SettingsView* view = openSettings();
        QVERIFY(view);
        QTest::qWait(300);
        QCOMPARE(looksForOllama(), looks);

        // Choosing Ollama in the open window shows its section but does not look by itself.
        auto* picker = shown<QComboBox>(view, u"AI provider"_s);
        QCOMPARE(picker->count(), 2);
        QCOMPARE(picker->itemText(1), u"Ollama (on this computer)"_s);
        picker->setCurrentIndex(1);
        emit picker->activated(1);
        QCOMPARE(settings().provider(), AIProviderKind::ollama);
        QVERIFY(shownByObjectName(view, u"ollamaSection"_s));
        QVERIFY(!shownByObjectName(view, u"openRouterSection"_s));
        QTest::qWait(300);
        QCOMPARE(looksForOllama(), looks);
        if (looks == 0) {
            QVERIFY(!shown<QComboBox>(view, u"Model"_s));
            shown<QPushButton>(view, u"Look for Ollama"_s)->click();
        }
        // The found models are offered; the first was chosen and another can be.
        QTRY_VERIFY(shown<QComboBox>(view, u"Model"_s));
        auto* model = shown<QComboBox>(view, u"Model"_s);
        QCOMPARE(model->count(), 2);
        QCOMPARE(model->currentText(), u"llama3.2:latest"_s);
        QCOMPARE(shownText(view, u"ollamaNotice"_s), u"Found Ollama with 2 model(s)."_s);
        QCOMPARE(shownText(view, u"savedModel"_s), u"(not shown)"_s);
        model->setCurrentIndex(1);
        emit model->activated(1);
        QCOMPARE(settings().ollamaModel(), u"qwen2.5:7b"_s);
        QCOMPARE(QSettings(u"Trellick"_s, u"Trellick"_s).value(u"ollamaModel"_s).toString(), u"qwen2.5:7b"_s);
    }

    void noOllamaRunningShowsTheSavedModelAndNoPicker()
    {
        m_ai->ollama.setTagsReply(LocalHttpServer::Reply::notHttp("nonsense"));
        settings().setOllamaModel(u"llama3.2"_s);
        settings().setProvider(AIProviderKind::ollama);
        SettingsView* view = openSettings();
        QTRY_COMPARE(shownText(view, u"ollamaNotice"_s),
                     u"Could not reach Ollama at 127.0.0.1:11434. Start the Ollama app, then press Look again."_s);
        QCOMPARE(shownText(view, u"savedModel"_s), u"Saved model: llama3.2"_s);
        QVERIFY(!shown<QComboBox>(view, u"Model"_s));
    }

    void signOutThenSignInWhileFreeModelsStillWork()
    {
        signInToOpenRouter();
        m_signIn->setBrowser(FakeSignIn::Browser::never);
        SettingsView* view = openSettings();
        QVERIFY(shownByObjectName(view, u"signedIn"_s));
        QVERIFY(!shown<QPushButton>(view, u"Sign in"_s));

        shown<QPushButton>(view, u"Sign out"_s)->click();
        QVERIFY(!shownByObjectName(view, u"signedIn"_s));
        QTRY_COMPARE(m_ai->keychain->load(account), KeychainRead());
        QVERIFY(!shown<QPushButton>(view, u"Sign out"_s));
        QCOMPARE(shownText(view, u"signInNotice"_s), u"Signed out. The key was removed from your keyring."_s);

        auto* signIn = shownByObjectName<QPushButton>(view, u"signIn"_s);
        QCOMPARE(signIn->text(), u"Sign in"_s);
        QVERIFY(signIn->isEnabled());
        signIn->click();
        QCOMPARE(signIn->text(), u"Waiting for the browser..."_s);
        QVERIFY(!signIn->isEnabled());
        QTRY_VERIFY(m_signIn->openedUrl().isValid());

        auto* freeModels = shown<QPushButton>(view, u"Show free models"_s);
        QVERIFY(freeModels->isEnabled());
        freeModels->click();
        QTRY_COMPARE(shownText(view, u"freeModelNote"_s),
                     u"1 free models found. They are tried in this order:\nmaker/model:free"_s);
        QVERIFY(settings().busy());
    }

    void removeIsOfferedOnlyForInstalledTools()
    {
        SettingsView* view = openSettings();
        QCOMPARE(shownText(view, u"toolsStatus"_s), u"ffmpeg and ffprobe are not installed yet."_s);
        QVERIFY(shownText(view, u"toolsSource"_s).contains(u" ~/.local/share/Trellick/bin, "_s));
        QVERIFY(shown<QPushButton>(view, u"Download ffmpeg and ffprobe"_s));
        QVERIFY(!shown<QPushButton>(view, u"Remove"_s));

        // While a download runs, its progress and Cancel take the buttons' place.
        m_state->setToolsInstalling(true);
        QVERIFY(shownByObjectName(view, u"installProgress"_s));
        QVERIFY(shownByObjectName(view, u"cancelInstall"_s));
        QVERIFY(!shownByObjectName(view, u"downloadTools"_s));
        m_state->setToolsInstalling(false);

        QVERIFY(TestMedia::installTool(u"ffmpeg"_s) && TestMedia::installTool(u"ffprobe"_s));
        m_state->setToolsReady(FFmpegTools::chosen().has_value());
        QCOMPARE(shownText(view, u"toolsStatus"_s), u"ffmpeg and ffprobe are installed."_s);
        QVERIFY(shown<QPushButton>(view, u"Download again"_s));

        shown<QPushButton>(view, u"Remove"_s)->click();
        QVERIFY(!QFile::exists(AppPaths::binDir() + u"/ffmpeg"_s));
        QCOMPARE(shownText(view, u"toolsStatus"_s), u"ffmpeg and ffprobe are not installed yet."_s);
        QCOMPARE(shownText(view, u"toolsMessage"_s), u"ffmpeg and ffprobe were removed."_s);
        QVERIFY(!shown<QPushButton>(view, u"Remove"_s));

        // The system's copy is named with its folder; there is nothing of ours to remove, but the download stays.
        QVERIFY(m_path.writeTools("5.1.6-0+deb12u1", {}));
        FFmpegTools::checkNow();
        m_state->setToolsReady(true);
        QCOMPARE(shownText(view, u"toolsStatus"_s),
                 u"Using ffmpeg 5.1 from the system ("_s + m_pathDir.path() + u")."_s);
        QVERIFY(shown<QPushButton>(view, u"Download ffmpeg and ffprobe"_s));
        QVERIFY(!shown<QPushButton>(view, u"Remove"_s));
        QFile::remove(m_pathDir.path() + u"/ffmpeg"_s);
        QFile::remove(m_pathDir.path() + u"/ffprobe"_s);
    }

    // Without files the drop zone shows whatever the stage; with them the card, the actions and the panel of
    // the stage. Panels are made when their stage first comes; one that was never made is not shown either.
    void eachStageShowsItsPanelAndNothingElse()
    {
        for (const bool withFiles : {false, true}) {
            if (withFiles) {
                chooseVideo();
                m_state->setReview(review({option(u"A"_s, u"Cut"_s, {step(u"Cut"_s, file(u"out.mp4"_s))})}));
            }
            for (Stage stage : allStages) {
                m_state->setStage(stage);
                QCOMPARE(shownByObjectName(m_window, u"stagePanel"_s) != nullptr, withFiles && stage != Stage::idle);
                for (auto it = panelNames.cbegin(); it != panelNames.cend(); ++it) {
                    const QWidget* shown = panel(it.key());
                    QCOMPARE(shown && shown->isVisibleTo(m_window), withFiles && it.key() == stage);
                }
                QCOMPARE(shownByObjectName(m_window, u"fileCard"_s) != nullptr, withFiles);
                QCOMPARE(shownByObjectName(m_window, u"actionsView"_s) != nullptr, withFiles);
                QCOMPARE(shownByObjectName(m_window, u"dropZone"_s) == nullptr, withFiles);
                // Run from the build tree, the program is in no Open With menu.
                QVERIFY(!shownByObjectName(m_window, u"openWithNote"_s));
            }
        }
    }

    void fileCardShowsOneFileOrTheCountOfSeveral()
    {
        // Until the details arrive there is no card, but the actions are there.
        m_state->setFiles({file(u"holiday.mp4"_s)});
        m_state->setKind(FileKind::video);
        QVERIFY(!shownByObjectName(m_window, u"fileCard"_s));
        QVERIFY(shownByObjectName(m_window, u"actionsView"_s));
        chooseVideo();
        QCOMPARE(WidgetFinder::shownTexts<QLabel>(m_window, u"fileCard"_s),
                 (QStringList{u"holiday.mp4"_s, u"MPEG-4 video · 1.2 MB"_s}));
        m_state->setFiles({file(u"holiday.mp4"_s), file(u"b.mp4"_s)});
        QCOMPARE(WidgetFinder::shownTexts<QLabel>(m_window, u"fileCard"_s),
                 (QStringList{u"2 files"_s, u"holiday.mp4, b.mp4"_s}));
    }

    void fileNamesAreNeverReadAsMarkup()
    {
        m_state->setFiles({file(u"<b>x</b>.mp4"_s)});
        m_state->setDetails(details(file(u"<b>x</b>.mp4"_s), u"<b>x</b>.mp4"_s));
        auto* title = m_window->findChild<QLabel*>(u"fileCardTitle"_s);
        QCOMPARE(title->textFormat(), Qt::PlainText);
        QCOMPARE(title->text(), u"<b>x</b>.mp4"_s);
    }

    // A newcomer's first success, by clicks alone: drop real files on the window (in their order, leaving out
    // what is not a local file), pick an action, run the plan, and find the new files beside the untouched
    // originals.
    void dropZipRunAndFindTheArchives()
    {
        const QString b = TestFiles::write(file(u"b.txt"_s), "Meeting at nine.\n");
        const QString a = TestFiles::write(file(u"a.txt"_s), "a");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(b), QUrl(u"https://example.com/x"_s), QUrl::fromLocalFile(a)});
        const QPoint at = m_window->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_window, &enter);
        QVERIFY(enter.isAccepted());
        QVERIFY(m_window->contentView()->dropZone()->isTargeted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_window, &drop);
        QVERIFY(!m_window->contentView()->dropZone()->isTargeted());
        QTRY_COMPARE(m_state->files(), (QStringList{b, a}));
        QVERIFY(!shownByObjectName(m_window, u"dropZone"_s));

        QTest::mouseClick(shown<QPushButton>(m_window, u"Compress to .zip"_s), Qt::LeftButton);
        QTRY_COMPARE(m_state->stage(), Stage::review);
        QVERIFY(shownByObjectName(m_window, u"planView"_s));
        QTest::mouseClick(shown<QPushButton>(m_window, u"Run"_s), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(m_state->stage(), Stage::finished, 30'000);
        QVERIFY(shownByObjectName(m_window, u"resultView"_s));
        QCOMPARE(m_state->outcome()->outputs, (QStringList{file(u"b.zip"_s), file(u"a.zip"_s)}));
        QCOMPARE(WidgetFinder::shownTexts<QLabel>(m_window, u"outputName"_s), (QStringList{u"b.zip"_s, u"a.zip"_s}));
        // The archive holds the file, and the original is untouched.
        QProcess unzip;
        unzip.start(u"/usr/bin/unzip"_s, {u"-p"_s, file(u"b.zip"_s)});
        QVERIFY(unzip.waitForFinished(10'000));
        QCOMPARE(unzip.readAllStandardOutput(), QByteArray("Meeting at nine.\n"));
        QCOMPARE(TestFiles::read(b), QByteArray("Meeting at nine.\n"));

        shown<QPushButton>(m_window, u"Clear"_s)->click();
        QVERIFY(shownByObjectName(m_window, u"dropZone"_s));
    }

    void playerIsShortForAudioAndTallOtherwise_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("height");
        QTest::newRow("audio") << u"tone.wav"_s << 60;
        QTest::newRow("video") << u"clip.mp4"_s << 260;
    }

    void playerIsShortForAudioAndTallOtherwise()
    {
        QFETCH(QString, name);
        QFETCH(int, height);
        QVERIFY(!shownByObjectName(m_window, u"playerView"_s));
        m_state->load({TestFiles::write(file(name), "not really media")});
        QWidget* player = nullptr;
        QTRY_VERIFY((player = shownByObjectName(m_window, u"playerView"_s))); // once the facts are in
        QCOMPARE(player->height(), height);
        m_state->load({TestFiles::write(file(u"a.txt"_s), "a"), TestFiles::write(file(u"b.txt"_s), "b")});
        QVERIFY(!shownByObjectName(m_window, u"playerView"_s));
        // The card gives the player's room back: it is no taller than its content.
        QWidget* card = shownByObjectName(m_window, u"fileCard"_s);
        WidgetFinder::settle();
        QCOMPARE(card->height(), card->heightForWidth(card->width()));
    }

    void factGridShowsTheProbedLines()
    {
        chooseVideo();
        FileDetails d = *m_state->details();
        d.facts.duration = 75;
        d.facts.width = 1920;
        d.facts.height = 1080;
        m_state->setDetails(d);
        const QStringList facts = WidgetFinder::shownTexts<QLabel>(m_window, u"fact"_s);
        QCOMPARE(facts.size(), d.facts.lines().size());
        QCOMPARE(facts.value(0), d.facts.lines().value(0).label + u": "_s + d.facts.lines().value(0).value);
    }

    void actionButtonsFollowTheCatalogueOrder()
    {
        chooseVideo();
        QStringList expected;
        for (const FileAction& action : m_state->actions()) {
            expected.append(action.title);
        }
        QCOMPARE(WidgetFinder::shownTexts(m_window, u"action_"_s), expected);
        QVERIFY(expected.size() > 5);
    }

    void returnPressesTheDefaultButtonOfTheShownPanel()
    {
        askingWith(QString());
        auto* edit = shown<QPlainTextEdit>(m_window, u"Request"_s);
        QCOMPARE(edit->placeholderText(), u"For example: "_s + Actions::video().constFirst().example);
        // A preset puts its text into the request.
        const QString preset = Actions::video().constFirst().presets.constFirst();
        shown<QPushButton>(m_window, preset)->click();
        QCOMPARE(edit->toPlainText(), preset);
        edit->setPlainText(u"\n \t\r\n"_s); // line breaks and tabs alone ask nothing
        edit->setFocus();
        QSignalSpy ask(shown<QPushButton>(m_window, u"Ask AI"_s), &QPushButton::clicked);
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::qWait(250);
        QCOMPARE(ask.count(), 0);
        QVERIFY(!shown<QPushButton>(m_window, u"Ask AI"_s)->isEnabled());
        edit->clear();
        QTest::keyClicks(edit, u"Remove the sound"_s);
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE(ask.count(), 1);
        QCOMPARE(m_state->requestText(), u"Remove the sound"_s); // Return did not add a line
        // No AI is set up here, so Ask AI opened the settings; back to the window.
        QCOMPARE(m_state->dialog(), DialogKind::settings);
        m_state->setDialog(std::nullopt);
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(edit, u"and fade out"_s);
        QCOMPARE(m_state->requestText(), u"Remove the sound\nand fade out"_s);

        m_state->setReview(review({option(u"A"_s, u"Cut"_s, {step(u"Cut"_s, file(u"o.mp4"_s))})}));
        m_state->setStage(Stage::review);
        QSignalSpy run(shown<QPushButton>(m_window, u"Run"_s), &QPushButton::clicked);
        QTest::keyClick(m_window, Qt::Key_Return);
        QTRY_COMPARE(run.count(), 1);
        QCOMPARE(ask.count(), 1);
        m_state->setStage(Stage::asking);
        shown<QPushButton>(m_window, u"Cancel"_s)->click();
        QCOMPARE(m_state->stage(), Stage::idle);
    }

    void planWithOneOptionAndOneStepShowsNoPickerAndNoStepList()
    {
        chooseVideo();
        m_state->setReview(review(
            {option(u"Fast"_s, u"Cuts without re-encoding."_s, {step(u"Cut"_s, file(u"holiday (cut).mp4"_s))})}));
        m_state->setStage(Stage::review);
        QVERIFY(!shownByObjectName(m_window, u"versionPicker"_s));
        QVERIFY(!shownByObjectName(m_window, u"planSteps"_s));
        QVERIFY(!shown(m_window, u"Change my request"_s)); // not an AI plan
        QCOMPARE(shownByObjectName<QLabel>(m_window, u"planSummary"_s)->text(), u"Cuts without re-encoding."_s);
        QVERIFY(WidgetFinder::shownTexts<QLabel>(m_window, {}).contains(u"Saves as: holiday (cut).mp4"_s));
    }

    void planWithTwoOptionsPicksTheVersionAndListsSteps()
    {
        chooseVideo();
        ResolvedOption two
            = option(u"Small"_s, u"Two passes."_s,
                     {step(u"First pass"_s, file(u"t.mp4"_s)), step(u"Second pass"_s, file(u"small.mp4"_s), true)});
        m_state->setReview(review({option(u"Fast"_s, u"One pass."_s, {step(u"Cut"_s, file(u"f.mp4"_s))}), two},
                                  u"free/model"_s, true));
        m_state->setStage(Stage::review);
        QVERIFY(shownByObjectName(m_window, u"versionPicker"_s));
        QVERIFY(!shownByObjectName(m_window, u"planSteps"_s));
        shown<QPushButton>(m_window, u"Small"_s)->click();
        QCOMPARE(m_state->review()->selected, 1);
        QCOMPARE(shownByObjectName<QLabel>(m_window, u"planSummary"_s)->text(), u"Two passes."_s);
        QCOMPARE(shownByObjectName<QLabel>(m_window, u"planSteps"_s)->text(), u"1. First pass\n2. Second pass"_s);
        QCOMPARE(shown<QPlainTextEdit>(m_window, u"The exact command"_s)->toPlainText(), two.commandText());
        QVERIFY(shown(m_window, u"Change my request"_s));
        auto showsText
            = [this](const QString& text) { return WidgetFinder::shownTexts<QLabel>(m_window, {}).contains(text); };
        QVERIFY(showsText(
            u"Answered by free/model (on the second try, after the first answer was rejected by my checks)"_s));
        QVERIFY(showsText(u"This needs ffmpeg. It will be downloaded once when you press Run."_s));
        m_state->setToolsReady(true);
        QVERIFY(!showsText(u"This needs ffmpeg. It will be downloaded once when you press Run."_s));
    }

    void noticeBannerShowsTheMessageUntilDismissed()
    {
        QVERIFY(!shownByObjectName(m_window, u"noticeBanner"_s));
        m_state->setMessage(u"Path copied."_s);
        QVERIFY(shownByObjectName(m_window, u"noticeBanner"_s));
        shown<QPushButton>(m_window, u"Dismiss"_s)->click();
        QVERIFY(!m_state->message());
        QVERIFY(!shownByObjectName(m_window, u"noticeBanner"_s));
    }

    void runShowsABarOnlyWhenTheFractionIsKnown()
    {
        chooseVideo();
        m_state->setStage(Stage::running);
        QVERIFY(shownByObjectName(m_window, u"runSpinner"_s));
        QVERIFY(!shownByObjectName(m_window, u"runProgress"_s));
        m_state->setRunFraction(0.25);
        QVERIFY(shownByObjectName(m_window, u"runProgress"_s));
        QVERIFY(!shownByObjectName(m_window, u"runSpinner"_s));
    }

    void failureDetailsAreOfferedOnlyWhenThereAreSome()
    {
        chooseVideo();
        m_state->setFailureBack(Stage::idle);
        m_state->fail(u"ffmpeg stopped."_s, QString());
        QCOMPARE(shownByObjectName<QLabel>(m_window, u"failureText"_s)->text(), u"ffmpeg stopped."_s);
        QVERIFY(!shown(m_window, u"Show Details"_s));
        m_state->fail(u"That did not work: ffmpeg stopped."_s, u"ffmpeg stopped.\n"_s);
        QVERIFY(!shown(m_window, u"Show Details"_s));
        m_state->setStage(Stage::idle);
        m_state->fail(u"ffmpeg stopped."_s, u"Invalid data found"_s);
        QWidget* toggle = shown(m_window, u"Show Details"_s);
        QVERIFY(toggle);
        QVERIFY(!shown(m_window, u"Details"_s));
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(shown(m_window, u"Details"_s));
        shown<QPushButton>(m_window, u"Back"_s)->click();
        QCOMPARE(m_state->stage(), Stage::idle);
    }

    void toolbarOpensHistoryAndSettings()
    {
        QTest::mouseClick(shown(m_window, u"Settings"_s), Qt::LeftButton);
        QCOMPARE(m_state->dialog(), std::optional(DialogKind::settings));
        m_state->setDialog(std::nullopt);
        QTest::mouseClick(shown(m_window, u"History"_s), Qt::LeftButton);
        QCOMPARE(m_state->dialog(), std::optional(DialogKind::history));
    }

    void sheetsFollowTheDialogValue()
    {
        chooseVideo();
        DialogRouter* router = m_window->dialogRouter();
        m_state->setDialog(DialogKind::info);
        QVERIFY(router->current());
        QCOMPARE(router->current()->objectName(), u"infoDialog"_s);
        QCOMPARE(router->current()->windowModality(), Qt::WindowModal);
        QVERIFY(router->current()->isVisible());
        // Another kind replaces it.
        m_state->setDialog(DialogKind::convertImage);
        QCOMPARE(router->current()->objectName(), u"convertImageDialog"_s);
        // Closing the sheet clears the value.
        router->current()->reject();
        QCOMPARE(m_state->dialog(), std::nullopt);
        QVERIFY(!router->current());
        // Clearing the value closes the sheet.
        m_state->setDialog(DialogKind::info);
        QPointer<QDialog> open = router->current();
        m_state->setDialog(std::nullopt);
        QVERIFY(!router->current());
        QVERIFY(!open || !open->isVisible());
    }
};

TRELLICK_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
