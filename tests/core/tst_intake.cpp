#include "FakePlayer.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TestServices.h"
#include "core/AppState.h"
#include "core/TaskSlot.h"
#include "files/Actions.h"

#include <QPointer>
#include <QPromise>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct PendingProbe
{
    QString path;
    std::shared_ptr<QPromise<MediaFacts>> promise;

    void deliver(const QString& codec) const
    {
        MediaFacts facts;
        facts.videoCodec = codec;
        facts.source = u"test"_s;
        promise->addResult(facts);
        promise->finish();
    }
};

ReviewState someReview()
{
    ResolvedOption option;
    option.id = QUuid::createUuid();
    option.label = u"Fast"_s;
    return ReviewState{{option, option}, 0, u"Keep from 0:10 to 0:40"_s, u"Trim or cut parts"_s, {}, false, true, 0,
                       std::nullopt};
}

} // namespace

// AppState on its own: files coming in and their details, and the moves between stages.
class TestIntake : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<PendingProbe> m_probes;
    TestServices m_fakes;

    QString file(const QString& name, const QByteArray& bytes = "x")
    {
        return TestFiles::write(m_dir.filePath(name), bytes);
    }

    // An AppState with a fake player and probes that finish only when the test says so.
    std::unique_ptr<AppState> makeState()
    {
        Services services = m_fakes.services;
        services.makePlayer = [](const QString& path, QObject* parent) { return new FakePlayer(path, parent); };
        services.prober = [this](const QString& path, FileKind) {
            auto promise = std::make_shared<QPromise<MediaFacts>>();
            promise->start();
            m_probes.append({path, promise});
            return promise->future();
        };
        return std::make_unique<AppState>(services);
    }

    static std::optional<QString> shownCodec(const AppState& state)
    {
        return state.details() ? state.details()->facts.videoCodec : std::nullopt;
    }

private slots:
    void init() { m_probes.clear(); }

    void missingFilesAreLeftOut()
    {
        auto state = makeState();
        const QString a = file(u"a.png"_s);
        const QString c = file(u"c.png"_s);
        state->load({c, m_dir.filePath(u"gone.mp4"_s), a});
        QCOMPARE(state->files(), (QStringList{c, a})); // in their arrival order
        QCOMPARE(state->message(), std::nullopt);
        state->handleDrop({a});
        state->setStage(Stage::review);
        state->load({m_dir.filePath(u"gone.mp4"_s), QString()});
        QCOMPARE(state->message(), u"That file could not be found."_s);
        QCOMPARE(state->files(), QStringList{a});
        QCOMPARE(state->stage(), Stage::review);
        QCOMPARE(m_probes.size(), 2);
        state->handleDrop({});
        QCOMPARE(state->files(), QStringList{a});

        // A name in another encoding than UTF-8 (Latin-1 here) is told apart from a missing file.
        const QByteArray latin1 = QFile::encodeName(m_dir.path()) + "/caf\xe9.mp3";
        QVERIFY(::close(::open(latin1.constData(), O_CREAT | O_WRONLY, 0644)) == 0);
        state->load({QFile::decodeName(latin1)});
        QCOMPARE(state->message(), u"This file's name cannot be read as text; rename it and try again."_s);
        QCOMPARE(state->files(), QStringList{a});
    }

    void selection_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<FileKind>("kind");
        QTest::addColumn<bool>("player");
        QTest::newRow("a video and a picture") << QStringList{u"v.mp4"_s, u"p.jpg"_s} << FileKind::other << false;
        QTest::newRow("two videos") << QStringList{u"v.mp4"_s, u"w.mov"_s} << FileKind::video << false;
        QTest::newRow("one picture") << QStringList{u"p.jpg"_s} << FileKind::image << false;
        QTest::newRow("one video") << QStringList{u"v.mp4"_s} << FileKind::video << true;
    }

    void selection()
    {
        QFETCH(QStringList, names);
        QFETCH(FileKind, kind);
        QFETCH(bool, player);
        auto state = makeState();
        QStringList paths;
        for (const QString& name : names) {
            paths << file(name);
        }
        state->load(paths);
        QCOMPARE(state->kind(), kind);
        QCOMPARE(state->player() != nullptr, player);
        if (player) {
            QCOMPARE(state->player()->path(), paths.first());
        }
        // Details, player and probe describe the first file only.
        QCOMPARE(state->details()->name, names.first());
        QCOMPARE(m_probes.size(), 1);
        QCOMPARE(m_probes.first().path, paths.first());
    }

    void loadResetsTheWork()
    {
        auto state = makeState();
        state->load({file(u"a.mp4"_s)});
        QPointer<MediaPlayer> oldPlayer = state->player();
        bool cancelled = false;
        state->task().start([&cancelled] { cancelled = true; });
        state->setStage(Stage::review);
        state->setCurrentAction(
            FileAction{ActionId::trim, u"Trim or cut parts"_s, {}, ActionStyle::ai, {}, {}, {}, false});
        state->setRequestText(u"Keep from 0:10 to 0:40"_s);
        state->setMessage(u"Path copied."_s);
        state->setShowAutomationButton(true);
        state->setOutcome(RunOutcome{});

        const QString b = file(u"b.mp4"_s);
        state->load({b});
        QVERIFY(cancelled);
        QVERIFY(state->task().isEmpty());
        QCOMPARE(state->stage(), Stage::idle);
        QCOMPARE(state->currentAction(), std::nullopt);
        QCOMPARE(state->requestText(), QString());
        QCOMPARE(state->message(), std::nullopt);
        QVERIFY(!state->showAutomationButton());
        QCOMPARE(state->outcome(), std::nullopt);
        QCOMPARE(state->review(), std::nullopt);
        QCOMPARE(state->details()->path, b);
        QCOMPARE(state->player()->path(), b);
        // The old player was paused and goes away once the event loop runs.
        QVERIFY(oldPlayer && static_cast<FakePlayer*>(oldPlayer.data())->paused);
        QTRY_VERIFY(!oldPlayer);
    }

    void clearFilesKeepsKindRequestAndButton()
    {
        auto state = makeState();
        state->load({file(u"a.mp3"_s)});
        QPointer<MediaPlayer> player = state->player();
        state->setRequestText(u"Make it louder"_s);
        state->setShowAutomationButton(true);
        state->setMessage(u"Path copied."_s);
        state->setStage(Stage::finished);
        state->clearFiles();
        QVERIFY(state->files().isEmpty());
        QCOMPARE(state->details(), std::nullopt);
        QCOMPARE(state->player(), nullptr);
        QCOMPARE(state->stage(), Stage::idle);
        QCOMPARE(state->message(), std::nullopt);
        QCOMPARE(state->kind(), FileKind::audio);
        QCOMPARE(state->requestText(), u"Make it louder"_s);
        QVERIFY(state->showAutomationButton());
        QTRY_VERIFY(!player);
        // A probe that finishes after the clear changes nothing.
        m_probes.first().deliver(u"mp3"_s);
        QTest::qWait(20);
        QCOMPARE(state->details(), std::nullopt);
    }

    void aStaleProbeIsDropped_data()
    {
        QTest::addColumn<bool>("sameFile");
        QTest::newRow("another selection") << false;
        // After tools were installed the file is probed again; the first probe may finish last.
        QTest::newRow("an older probe of the same file") << true;
    }

    void aStaleProbeIsDropped()
    {
        QFETCH(bool, sameFile);
        auto state = makeState();
        state->load({file(u"a.mp4"_s)});
        if (sameFile) {
            state->reprobe();
        } else {
            state->load({file(u"b.mp4"_s)});
        }
        QCOMPARE(m_probes.size(), 2);
        QSignalSpy details(state.get(), &AppState::detailsChanged);
        m_probes[1].deliver(u"newer"_s);
        QTRY_COMPARE(shownCodec(*state), u"newer"_s);
        m_probes[0].deliver(u"older"_s);
        QTest::qWait(20);
        QCOMPARE(shownCodec(*state), u"newer"_s);
        QCOMPARE(details.count(), 1);
        QCOMPARE(state->details()->name, sameFile ? u"a.mp4"_s : u"b.mp4"_s);
    }

    void aProbeOutlivingTheStateIsHarmless()
    {
        auto state = makeState();
        state->load({file(u"a.mp4"_s)});
        state.reset();
        m_probes.first().deliver(u"h264"_s);
        QTest::qWait(20);
    }

    void chooseFiles()
    {
        auto state = makeState();
        const QString a = file(u"a.pdf"_s);
        const QString folder = m_dir.filePath(u"folder"_s);
        QVERIFY(QDir().mkpath(folder));
        m_fakes.openPanel->nextAnswer = {folder, a};
        state->chooseFiles();
        QCOMPARE(m_fakes.openPanel->messages, QStringList{u"Choose the file or files to work on"_s});
        QCOMPARE(state->files(), (QStringList{folder, a}));
        QCOMPARE(state->kind(), FileKind::other);

        m_fakes.openPanel->nextAnswer = QStringList(); // cancelled
        state->setMessage(u"Path copied."_s);
        state->chooseFiles();
        QCOMPARE(state->files(), (QStringList{folder, a}));
        QCOMPARE(state->message(), u"Path copied."_s);
    }

    void finderSelectionIsNotAvailable()
    {
        auto state = makeState();
        state->setShowAutomationButton(true);
        state->useFinderSelection();
        QCOMPARE(state->message(), u"Could not ask the file manager for its selection. Drop the file here instead."_s);
        QVERIFY(!state->showAutomationButton());
        state->openAutomationSettings();
        QVERIFY(state->files().isEmpty());
    }

    void basicDetails_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("sizeText");
        QTest::addColumn<QString>("kindText");
        QTest::addColumn<QString>("iconName");
        QTest::newRow("unknown binary falls back by kind")
            << u"blob"_s << QByteArray("\x01\x02\x03\x00\xff", 5) << QString() << qint64(5) << u"5 bytes"_s << u"File"_s
            << u"application-octet-stream"_s;
        QTest::newRow("upper-case extension") << u"Clip.MOV"_s << QByteArray(1500, 'x') << u"mov"_s << qint64(1500)
                                              << u"2 kB"_s << u"QuickTime video"_s << u"video-quicktime"_s;
        QTest::newRow("megabytes") << u"photo.png"_s << QByteArray("\x89PNG\r\n\x1a\n").append(1'234'559, '\0')
                                   << u"png"_s << qint64(1'234'567) << u"1.2 MB"_s << u"PNG image"_s << u"image-png"_s;
        QTest::newRow("last extension only")
            << u"backup.tar.gz"_s << QByteArray("\x1f\x8b", 2) << u"gz"_s << qint64(2) << u"2 bytes"_s
            << u"Tar archive (gzip-compressed)"_s << u"application-x-compressed-tar"_s;
    }

    void basicDetails()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, ext);
        QFETCH(qint64, size);
        QFETCH(QString, sizeText);
        QFETCH(QString, kindText);
        QFETCH(QString, iconName);
        const QString path = file(name, bytes);
        const FileDetails details = AppState::basicDetails(path);
        QCOMPARE(details,
                 (FileDetails{path, name, ext, FileKinds::detect(path), size, sizeText, kindText, iconName, {}}));
    }

    void folderCountsItsEntries()
    {
        const QString folder = m_dir.filePath(u"one.mov"_s); // a folder wins over its extension
        QVERIFY(QDir().mkpath(folder));
        file(u"one.mov/.hidden"_s);
        FileDetails details = AppState::basicDetails(folder);
        QCOMPARE(details.kind, FileKind::folder);
        QCOMPARE(details.sizeText, u"1 items"_s);
        QCOMPARE(details.sizeBytes, 0);
        QCOMPARE(details.kindText, u"Folder"_s.toLower()); // the MIME description of a directory
        file(u"one.mov/second"_s);
        QCOMPARE(AppState::basicDetails(folder).sizeText, u"2 items"_s);
    }

    // The stages a plan moves through, and the slot of the one task AppState waits for.
    void cancelThinkingReturnsToTheRequestOrIdle()
    {
        AppState s(TestServices().services);
        s.setStage(Stage::thinking);
        s.cancelThinking(); // nothing in the slot: still moves on
        QCOMPARE(s.stage(), Stage::idle);

        s.setCurrentAction(Actions::video().first());
        s.setStage(Stage::thinking);
        bool cancelled = false;
        const TaskSlot::Id id = s.task().start([&] { cancelled = true; });
        s.cancelThinking();
        QCOMPARE(s.stage(), Stage::asking);
        QVERIFY(cancelled);
        QVERIFY(!s.task().isCurrent(id)); // its late answer is dropped
    }

    void changeRequestKeepsTheText()
    {
        AppState s(TestServices().services);
        s.setCurrentAction(Actions::video().first());
        s.setRequestText(u"Keep from 0:10 to 0:40"_s);
        s.setReview(someReview());
        s.setStage(Stage::review);
        s.changeRequest();
        QCOMPARE(s.stage(), Stage::asking);
        QVERIFY(!s.review());
        QCOMPARE(s.requestText(), u"Keep from 0:10 to 0:40"_s);

        s.setCurrentAction(std::nullopt);
        s.setReview(someReview());
        s.changeRequest();
        QCOMPARE(s.stage(), Stage::idle);
    }

    void cancelPlanKeepsTheFiles()
    {
        AppState s(TestServices().services);
        s.setFiles({u"/tmp/a.mp4"_s});
        s.setKind(FileKind::video);
        FileDetails details;
        details.name = u"a.mp4"_s;
        s.setDetails(details);
        s.setRequestText(u"Make it 2x faster"_s);
        s.setCurrentAction(Actions::video().at(4));
        s.setReview(someReview());
        s.setOutcome(RunOutcome{{u"/tmp/a (fast).mp4"_s}, {}});
        s.setStage(Stage::finished);

        s.cancelPlan();
        QCOMPARE(s.stage(), Stage::idle);
        QVERIFY(!s.review());
        QVERIFY(!s.outcome());
        QVERIFY(!s.currentAction());
        QCOMPARE(s.files(), QStringList{u"/tmp/a.mp4"_s});
        QCOMPARE(s.kind(), FileKind::video);
        QCOMPARE(s.details()->name, u"a.mp4"_s);
        QCOMPARE(s.requestText(), u"Make it 2x faster"_s);
    }

    void backFromFailure_data()
    {
        QTest::addColumn<Stage>("back");
        QTest::addColumn<bool>("hasReview");
        QTest::addColumn<bool>("hasAction");
        QTest::addColumn<Stage>("expected");
        QTest::newRow("to the plan") << Stage::review << true << false << Stage::review;
        QTest::newRow("plan gone") << Stage::review << false << true << Stage::idle;
        QTest::newRow("to the request") << Stage::asking << false << true << Stage::asking;
        QTest::newRow("action cleared") << Stage::asking << true << false << Stage::idle;
        QTest::newRow("to idle") << Stage::idle << true << true << Stage::idle;
    }

    void backFromFailure()
    {
        QFETCH(Stage, back);
        QFETCH(bool, hasReview);
        QFETCH(bool, hasAction);
        QFETCH(Stage, expected);
        AppState s(TestServices().services);
        if (hasReview) {
            s.setReview(someReview());
        }
        if (hasAction) {
            s.setCurrentAction(Actions::audio().first());
        }
        s.setFailureBack(back);
        s.fail(u"x"_s, {});
        s.backFromFailure();
        QCOMPARE(s.stage(), expected);
    }

    void selectOptionStaysInRange()
    {
        AppState s(TestServices().services);
        s.selectOption(1); // no review: nothing happens
        QVERIFY(!s.review());
        s.setReview(someReview());
        s.selectOption(1);
        QCOMPARE(s.review()->selected, 1);
        s.selectOption(2);
        s.selectOption(-1);
        QCOMPARE(s.review()->selected, 1);
    }

    // The slot that holds the one task AppState waits for.
    void startingATaskCancelsTheOneBefore()
    {
        TaskSlot slot;
        int cancels = 0;
        const auto first = slot.start([&] { ++cancels; });
        const auto second = slot.start();
        QCOMPARE(cancels, 1);
        QVERIFY(!slot.isCurrent(first));
        QVERIFY(slot.isCurrent(second));
        slot.finish(first); // a stale finish does not empty the slot
        QVERIFY(slot.isCurrent(second));
    }

    void finishedTaskIsNotCancelledLater()
    {
        TaskSlot slot;
        int cancels = 0;
        const auto id = slot.start([&] { ++cancels; });
        slot.finish(id);
        QVERIFY(slot.isEmpty());
        slot.cancel();
        QCOMPARE(cancels, 0);
    }

    void cancelHandlerMayStartANewTask()
    {
        TaskSlot slot;
        TaskSlot::Id restarted = 0;
        slot.start([&] { restarted = slot.start(); });
        slot.cancel();
        QVERIFY(slot.isCurrent(restarted));
        QVERIFY(!slot.isCurrent(0));
    }
};

TRELLICK_TEST_MAIN(TestIntake)
#include "tst_intake.moc"
