#include "FakePlayer.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TestMedia.h"
#include "TestPdf.h"
#include "TestServices.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "core/AppState.h"
#include "core/TaskSlot.h"
#include "files/Actions.h"
#include "files/Format.h"

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

FileAction actionWithId(ActionId id)
{
    for (const FileAction& action : Actions::video() + Actions::audio() + Actions::image() + Actions::pdf()) {
        if (action.id == id) {
            return action;
        }
    }
    return {};
}

} // namespace

// AppState on its own: files coming in and their details, the moves between stages, and what the actions
// panel and the dialogs set off (the plans themselves are the recipes' tests).
class TestIntake : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_pathDir; // a PATH without ffmpeg
    TestFiles::ScopedPath m_path{m_pathDir.path()};
    QList<PendingProbe> m_probes;
    TestServices m_fakes;
    std::unique_ptr<AppState> m_state; // with the real probe, for the actions

    AppState& chosen(const QStringList& paths)
    {
        m_state->load(paths);
        return *m_state;
    }

    ResolvedOption reviewed() const { return m_state->review()->options.first(); }

    QString file(const QString& name, const QByteArray& bytes = "x")
    {
        return TestFiles::write(m_dir.filePath(name), bytes);
    }

    // An AppState with probes that finish only when the test says so.
    std::unique_ptr<AppState> makeState()
    {
        Services services = m_fakes.services; // with the fake player of init()
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
    void init()
    {
        m_probes.clear();
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        m_fakes = TestServices();
        m_fakes.services.makePlayer = [](const QString& path, QObject* parent) { return new FakePlayer(path, parent); };
        m_state = std::make_unique<AppState>(m_fakes.services);
    }

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
        m_probes.first().deliver(u"h264"_s); // the player comes with the facts
        QTRY_COMPARE(state->player() != nullptr, player);
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
        m_probes.first().deliver(u"h264"_s);
        QTRY_VERIFY(state->player());
        QPointer<MediaPlayer> oldPlayer = state->player();
        bool cancelled = false;
        state->task().start([&cancelled] { cancelled = true; });
        state->setStage(Stage::review);
        state->setCurrentAction(actionWithId(ActionId::trim));
        state->setRequestText(u"Keep from 0:10 to 0:40"_s);
        state->setMessage(u"Path copied."_s);
        state->setOutcome(RunOutcome{});

        const QString b = file(u"b.mp4"_s);
        state->load({b});
        QVERIFY(cancelled);
        QVERIFY(state->task().isEmpty());
        QCOMPARE(state->stage(), Stage::idle);
        QCOMPARE(state->currentAction(), std::nullopt);
        QCOMPARE(state->requestText(), QString());
        QCOMPARE(state->message(), std::nullopt);
        QCOMPARE(state->outcome(), std::nullopt);
        QCOMPARE(state->review(), std::nullopt);
        QCOMPARE(state->details()->path, b);
        // The old player was paused and goes away once the event loop runs.
        QVERIFY(oldPlayer && static_cast<FakePlayer*>(oldPlayer.data())->paused);
        QTRY_VERIFY(!oldPlayer);
        m_probes.last().deliver(u"h264"_s);
        QTRY_VERIFY(state->player());
        QCOMPARE(state->player()->path(), b);
    }

    void clearFilesKeepsKindAndRequest()
    {
        auto state = makeState();
        state->load({file(u"a.mp3"_s)});
        QPointer<MediaPlayer> player = state->player();
        state->setRequestText(u"Make it louder"_s);
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
        file(u"one.mov/.hidden"_s);
        // Its kind text is the MIME description of a directory.
        QCOMPARE(AppState::basicDetails(folder),
                 (FileDetails{folder,
                              u"one.mov"_s,
                              u"mov"_s,
                              FileKind::folder,
                              0,
                              u"1 items"_s,
                              u"folder"_s,
                              u"inode-directory"_s,
                              {}}));
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

    // The slot that holds the one task AppState waits for: a new task cancels the one before, and only once.
    void aTaskSlotHoldsTheLatestTaskOnly()
    {
        TaskSlot slot;
        int cancels = 0;
        const auto first = slot.start([&] { ++cancels; });
        const auto second = slot.start([&] { ++cancels; });
        QCOMPARE(cancels, 1);
        QVERIFY(!slot.isCurrent(first));
        slot.finish(first); // a stale finish does not empty the slot
        QVERIFY(slot.isCurrent(second));
        slot.finish(second);
        QVERIFY(slot.isEmpty());
        slot.cancel(); // a finished task is not cancelled later
        QCOMPARE(cancels, 1);

        // A cancel handler may start the next task.
        TaskSlot::Id restarted = 0;
        slot.start([&] { restarted = slot.start(); });
        slot.cancel();
        QVERIFY(slot.isCurrent(restarted));
        QVERIFY(!slot.isCurrent(0));
    }

    void directActionGoesUnderReview()
    {
        AppState& s = chosen({file(u"a.txt"_s), file(u"b.txt"_s)});
        s.perform(Actions::zip());
        QCOMPARE(s.stage(), Stage::review);
        QCOMPARE(reviewed().steps.size(), 2);
        QCOMPARE(*s.review(),
                 (ReviewState{s.review()->options, 0, u"Compress to .zip"_s, u"Compress to .zip"_s, std::nullopt, false,
                              false, 0, std::nullopt}));

        chosen({file(u"Backup.tgz"_s), file(u"other.zip"_s)}).perform(Actions::extract());
        QCOMPARE(reviewed().steps.size(), 1); // the first file only
        QCOMPARE(QFileInfo(reviewed().steps.first().outputPath).fileName(), u"Backup"_s);
    }

    void refusalKeepsTheDialogOpen()
    {
        AppState& s = chosen({file(u"a.txt"_s)});
        s.perform(Actions::rename());
        QCOMPARE(s.dialog(), DialogKind::rename);
        s.prepareRename({u"a/b"_s}, false);
        QCOMPARE(s.message(), u"“a/b” is not a usable file name (no empty names, slashes, colons or leading dots)."_s);
        QCOMPARE(s.stage(), Stage::idle);
        QVERIFY(!s.review());
        QCOMPARE(s.dialog(), DialogKind::rename); // so that the user can correct the name
    }

    void pdfExtract_data()
    {
        QTest::addColumn<int>("count"); // 0: not a PDF at all
        QTest::addColumn<QString>("pages");
        QTest::addColumn<QString>("message");
        QTest::newRow("beyond the end")
            << 6 << u"7"_s << u"I could not read “7”. Use page numbers like 1-3, 5 (this PDF has 6 pages)."_s;
        QTest::newRow("not a PDF") << 0 << u"1"_s << u"That PDF could not be opened."_s;
        QTest::newRow("fine") << 6 << u"1-3"_s << QString();
    }

    void pdfExtract()
    {
        QFETCH(int, count);
        QFETCH(QString, pages);
        QFETCH(QString, message);
        // Pressed at once, before the helper has counted the pages: the answer waits for the count.
        AppState& s
            = chosen({count ? TestPdf::write(m_dir.filePath(u"doc.pdf"_s), count) : file(u"doc.pdf"_s, "not a pdf")});
        s.perform(actionWithId(ActionId::pdfExtract));
        s.preparePDFExtract(pages);
        s.reprobe(); // as after an install: the newer probe answers the waiting request
        QTRY_VERIFY_WITH_TIMEOUT(s.message() || s.review(), 20000);
        if (!message.isEmpty()) {
            QCOMPARE(s.message(), message);
            QCOMPARE(s.dialog(), DialogKind::pdfExtract);
            return;
        }
        QCOMPARE(s.dialog(), std::nullopt);
        QCOMPARE(QFileInfo(reviewed().steps.first().outputPath).fileName(), u"doc (pages 1-3).pdf"_s);
    }

    void immediateActions()
    {
        const QString a = file(u"a.txt"_s);
        const QString b = file(u"b.txt"_s);
        AppState& s = chosen({a, b});
        s.perform(Actions::copyPath());
        QCOMPARE(m_fakes.workspace->copied, QStringList{a + u'\n' + b});
        QCOMPARE(s.message(), u"Path copied."_s);
        s.perform(Actions::showInFinder());
        QCOMPARE(s.message(), std::nullopt);
        QCOMPARE(m_fakes.workspace->revealed, (QList<QStringList>{{a, b}}));
        s.perform(Actions::info());
        QCOMPARE(s.dialog(), DialogKind::info);
    }

    void performWithoutFilesOnlyClearsTheNotice()
    {
        AppState& s = *m_state;
        s.setMessage(u"old"_s);
        s.perform(Actions::zip());
        QCOMPARE(s.message(), std::nullopt);
        QCOMPARE(s.stage(), Stage::idle);
    }

    void aiActionOpensTheRequest()
    {
        AppState& s = chosen({file(u"a.mp4"_s)});
        const FileAction trim = actionWithId(ActionId::trim);
        s.setRequestText(u"old request"_s);
        s.perform(trim);
        QCOMPARE(s.stage(), Stage::asking);
        QCOMPARE(s.currentAction(), trim);
        QCOMPARE(s.requestText(), QString());
        QVERIFY(!s.review());
    }

    void infoCommandNamesARealTool()
    {
        QCOMPARE(m_state->infoCommand(), QString());
        const QString song = file(u"my song.wav"_s, "RIFF");
        AppState& s = chosen({song});
        QCOMPARE(s.infoCommand(), u"gio info '"_s + song + u'\'');
        const QString options = u" -v error -show_format -show_streams -of json '"_s + song + u'\'';
        QVERIFY(m_path.linkDebianTools());
        FFmpegTools::checkNow();
        QCOMPARE(s.infoCommand(), u"ffprobe"_s + options);
        QVERIFY(TestMedia::installTool(u"ffmpeg"_s) && TestMedia::installTool(u"ffprobe"_s));
        QCOMPARE(s.infoCommand(), Format::shellQuote(AppPaths::binDir() + u"/ffprobe"_s) + options);
        QDir(AppPaths::binDir()).removeRecursively();
    }

    void insertCurrentTime()
    {
        m_state->insertCurrentTime(u"from"_s); // no player: nothing
        QCOMPARE(m_state->requestText(), QString());
        AppState& s = chosen({file(u"song.wav"_s, "RIFF")});
        QTRY_VERIFY(s.player()); // made once the facts are in
        static_cast<FakePlayer*>(s.player())->seconds = 70.4;
        s.setRequestText(u"Keep"_s);
        s.insertCurrentTime(u"from"_s);
        QCOMPARE(s.requestText(), u"Keep from 1:10 "_s);
        s.insertCurrentTime(u"to"_s);
        QCOMPARE(s.requestText(), u"Keep from 1:10 to 1:10 "_s);
    }
};

TRELLICK_TEST_MAIN(TestIntake)
#include "tst_intake.moc"
