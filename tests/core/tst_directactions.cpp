#include "FakePlayer.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TestPdf.h"
#include "TestServices.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "core/AppState.h"
#include "files/Actions.h"
#include "files/Format.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

FileAction actionWithId(ActionId id)
{
    for (const auto* list : {&Actions::video(), &Actions::audio(), &Actions::image(), &Actions::pdf()}) {
        for (const FileAction& action : *list) {
            if (action.id == id) {
                return action;
            }
        }
    }
    return {};
}

} // namespace

// What the actions panel and the dialogs set off in the state; the plans themselves are the recipes' tests.
class TestDirectActions : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_pathDir; // a PATH without ffmpeg
    TestFiles::ScopedPath m_path{m_pathDir.path()};
    std::shared_ptr<FakeWorkspace> m_workspace;
    std::unique_ptr<AppState> m_state;

    QString file(const QString& name, const QByteArray& bytes = "x")
    {
        return TestFiles::write(m_dir.path() + u'/' + name, bytes);
    }

    AppState& chosen(const QStringList& paths)
    {
        m_state->load(paths);
        return *m_state;
    }

    ResolvedOption reviewed() const { return m_state->review()->options.first(); }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        TestServices fakes;
        m_workspace = fakes.workspace;
        fakes.services.makePlayer = [](const QString& path, QObject* parent) { return new FakePlayer(path, parent); };
        m_state = std::make_unique<AppState>(fakes.services);
    }

    void directActionGoesUnderReview()
    {
        AppState& s = chosen({file(u"a.txt"_s), file(u"b.txt"_s)});
        s.perform(Actions::zip());
        QCOMPARE(s.stage(), Stage::review);
        QCOMPARE(reviewed().steps.size(), 2);
        QCOMPARE(s.review()->title, u"Compress to .zip"_s);
        QCOMPARE(s.review()->request, u"Compress to .zip"_s);
        QVERIFY(!s.review()->isAI);

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
        QTest::addColumn<QString>("pages");
        QTest::addColumn<QString>("message");
        QTest::newRow("beyond the end")
            << u"7"_s << u"I could not read “7”. Use page numbers like 1-3, 5 (this PDF has 6 pages)."_s;
        QTest::newRow("fine") << u"1-3"_s << QString();
    }

    void pdfExtract()
    {
        QFETCH(QString, pages);
        QFETCH(QString, message);
        // Pressed at once, before the helper has counted the pages: the answer waits for the count.
        AppState& s = chosen({TestPdf::write(m_dir.path() + u"/doc.pdf"_s, 6)});
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

    void pdfExtractOfSomethingElse()
    {
        AppState& s = chosen({file(u"fake.pdf"_s, "not a pdf")});
        s.preparePDFExtract(u"1"_s);
        QTRY_COMPARE_WITH_TIMEOUT(s.message(), u"That PDF could not be opened."_s, 20000);
        QVERIFY(!s.review());
    }

    void immediateActions()
    {
        const QString a = file(u"a.txt"_s);
        const QString b = file(u"b.txt"_s);
        AppState& s = chosen({a, b});
        s.perform(Actions::copyPath());
        QCOMPARE(m_workspace->copied, QStringList{a + u'\n' + b});
        QCOMPARE(s.message(), u"Path copied."_s);
        s.perform(Actions::showInFinder());
        QCOMPARE(s.message(), std::nullopt);
        QCOMPARE(m_workspace->revealed, (QList<QStringList>{{a, b}}));
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
        for (const QString& tool : {u"ffmpeg"_s, u"ffprobe"_s}) {
            TestFiles::write(AppPaths::binDir() + u'/' + tool, "#!/bin/sh\n");
            QFile::setPermissions(AppPaths::binDir() + u'/' + tool, QFile::ReadOwner | QFile::ExeOwner);
        }
        QCOMPARE(s.infoCommand(), Format::shellQuote(AppPaths::binDir() + u"/ffprobe"_s) + options);
        QDir(AppPaths::binDir()).removeRecursively();
    }

    void insertCurrentTime()
    {
        m_state->insertCurrentTime(u"from"_s); // no player: nothing
        QCOMPARE(m_state->requestText(), QString());
        AppState& s = chosen({file(u"song.wav"_s, "RIFF")});
        QVERIFY(s.player());
        static_cast<FakePlayer*>(s.player())->seconds = 70.4;
        s.setRequestText(u"Keep"_s);
        s.insertCurrentTime(u"from"_s);
        QCOMPARE(s.requestText(), u"Keep from 1:10 "_s);
        s.insertCurrentTime(u"to"_s);
        QCOMPARE(s.requestText(), u"Keep from 1:10 to 1:10 "_s);
    }
};

TRELLICK_TEST_MAIN(TestDirectActions)
#include "tst_directactions.moc"
