#include "FakePlayer.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TestServices.h"
#include "WidgetFinder.h"
#include "core/AppState.h"
#include "files/Actions.h"
#include "ui/ContentView.h"
#include "ui/DialogRouter.h"
#include "ui/DropZoneView.h"
#include "ui/MainWindow.h"
#include "ui/StagePanel.h"

#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using WidgetFinder::shown;
using WidgetFinder::shownByObjectName;

namespace {

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

class TestMainWindow : public QObject
{
    Q_OBJECT

    AppState* m_state = nullptr;
    MainWindow* m_window = nullptr;
    QTemporaryDir m_dir;
    QTemporaryDir m_pathDir; // a PATH without ffmpeg
    TestFiles::ScopedPath m_path{m_pathDir.path()};

    QString file(const QString& name) { return m_dir.filePath(name); }

    void chooseVideo()
    {
        m_state->setFiles({file(u"holiday.mp4"_s)});
        m_state->setKind(FileKind::video);
        m_state->setDetails(details(file(u"holiday.mp4"_s), u"holiday.mp4"_s));
    }

    QWidget* panel(Stage stage) const { return m_window->findChild<QWidget*>(panelNames.value(stage)); }

private slots:
    void init()
    {
        TestServices fakes;
        fakes.services.makePlayer = [](const QString& path, QObject* parent) { return new FakePlayer(path, parent); };
        m_state = new AppState(fakes.services);
        m_window = new MainWindow(m_state);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }

    void cleanup()
    {
        delete m_window;
        delete m_state;
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
        QCOMPARE(m_window->findChild<QLabel*>(u"fileCardTitle"_s)->text(), u"holiday.mp4"_s);
        QCOMPARE(m_window->findChild<QLabel*>(u"fileCardSubtitle"_s)->text(), u"MPEG-4 video · 1.2 MB"_s);
        m_state->setFiles({file(u"holiday.mp4"_s), file(u"b.mp4"_s)});
        QCOMPARE(m_window->findChild<QLabel*>(u"fileCardTitle"_s)->text(), u"2 files"_s);
        QCOMPARE(m_window->findChild<QLabel*>(u"fileCardSubtitle"_s)->text(), u"holiday.mp4, b.mp4"_s);
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
        QStringList names;
        for (QLabel* label : m_window->findChildren<QLabel*>(u"outputName"_s)) {
            names << label->text();
        }
        QCOMPARE(names, (QStringList{u"b.zip"_s, u"a.zip"_s}));
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
        QWidget* player = shownByObjectName(m_window, u"playerView"_s);
        QVERIFY(player);
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
        QStringList facts;
        WidgetFinder::settle();
        for (QLabel* label : m_window->findChildren<QLabel*>(u"fact"_s)) {
            if (label->isVisibleTo(m_window)) {
                facts.append(label->text());
            }
        }
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
        QCOMPARE(WidgetFinder::buttonTexts(m_window, u"action_"_s), expected);
        QVERIFY(expected.size() > 5);
    }

    void askAIIsDisabledForABlankRequest_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("line breaks and tabs") << u"\n \t\r\n"_s << false;
        QTest::newRow("a word") << u"  Keep from 0:10 to 0:40 \n"_s << true;
    }

    void askAIIsDisabledForABlankRequest()
    {
        QFETCH(QString, request);
        QFETCH(bool, enabled);
        chooseVideo();
        m_state->setCurrentAction(Actions::video().constFirst());
        m_state->setStage(Stage::asking);
        m_state->setRequestText(request);
        QPushButton* ask = shown<QPushButton>(m_window, u"Ask AI"_s);
        QVERIFY(ask);
        QCOMPARE(ask->isEnabled(), enabled);
    }

    void returnPressesTheDefaultButtonOfTheShownPanel()
    {
        chooseVideo();
        m_state->setCurrentAction(Actions::video().constFirst());
        m_state->setStage(Stage::asking);
        auto* edit = shown<QPlainTextEdit>(m_window, u"Request"_s);
        QCOMPARE(edit->placeholderText(), u"For example: "_s + Actions::video().constFirst().example);
        // A preset puts its text into the request.
        const QString preset = Actions::video().constFirst().presets.constFirst();
        shown<QPushButton>(m_window, preset)->click();
        QCOMPARE(edit->toPlainText(), preset);
        edit->clear();
        edit->setFocus();
        QSignalSpy ask(shown<QPushButton>(m_window, u"Ask AI"_s), &QPushButton::clicked);
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::qWait(250);
        QCOMPARE(ask.count(), 0); // disabled while the request is empty
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
        const QList<QLabel*> saves = m_window->findChildren<QLabel*>();
        QVERIFY(std::any_of(saves.begin(), saves.end(),
                            [](QLabel* l) { return l->text() == u"Saves as: holiday (cut).mp4"_s && l->isVisible(); }));
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
        const QList<QLabel*> labels = m_window->findChildren<QLabel*>();
        auto showsText = [&](const QString& text) {
            return std::any_of(labels.begin(), labels.end(),
                               [&](QLabel* l) { return l->text() == text && l->isVisible(); });
        };
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
