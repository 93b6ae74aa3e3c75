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

FileAction actionWithId(const QString& id)
{
    for (const auto* list : {&Actions::video(), &Actions::audio(), &Actions::image(), &Actions::pdf()}) {
        for (const FileAction& action : *list) {
            if (action.id == id) {
                return action;
            }
        }
    }
    for (const FileAction& action : {Actions::rename(), Actions::zip(), Actions::info(), Actions::copyPath(),
                                     Actions::showInFinder(), Actions::extract()}) {
        if (action.id == id) {
            return action;
        }
    }
    return {};
}

QStringList outputNames(const ResolvedOption& option)
{
    QStringList names;
    for (const ResolvedStep& step : option.steps) {
        names << QFileInfo(step.outputPath).fileName();
    }
    return names;
}

} // namespace

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

    void zipNamesEachFileAndFolder()
    {
        const QString folder = m_dir.path() + u"/Photos"_s;
        QDir().mkpath(folder);
        AppState& s = chosen({folder, file(u"photo.jpeg"_s), file(u"notes.v2.txt"_s)});
        s.perform(Actions::zip());
        QCOMPARE(s.stage(), Stage::review);
        QCOMPARE(outputNames(reviewed()), (QStringList{u"Photos.zip"_s, u"photo.zip"_s, u"notes.v2.zip"_s}));
        QCOMPARE(reviewed().label, u"Compress to .zip"_s);
        QCOMPARE(reviewed().summary, u"Makes 3 zip files next to the originals. The originals stay as they are."_s);
        QCOMPARE(reviewed().steps.first().summary, u"Puts “Photos” into a zip file."_s);
        QVERIFY(reviewed().steps.first().displayCommand.startsWith(u"cd "_s));
        QVERIFY(reviewed().tempDir);
        QCOMPARE(s.review()->title, u"Compress to .zip"_s);
        QCOMPARE(s.review()->request, u"Compress to .zip"_s);
        QVERIFY(!s.review()->isAI);

        chosen({file(u"a.txt"_s)}).perform(Actions::zip());
        QCOMPARE(reviewed().summary, u"Makes 1 zip file next to the original. The originals stay as they are."_s);
    }

    void zipNamesNeverCollide()
    {
        file(u"photo.zip"_s);
        AppState& s = chosen({file(u"photo.jpeg"_s), file(u"photo.png"_s)});
        s.perform(Actions::zip());
        QCOMPARE(outputNames(reviewed()), (QStringList{u"photo 2.zip"_s, u"photo 3.zip"_s}));
    }

    void extractCutsTheArchiveEnding_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("folder");
        QTest::newRow("tar.gz in capitals") << u"Backup.TAR.GZ"_s << u"ditto -x"_s << u"Backup"_s;
        QTest::newRow("tgz") << u"site.tgz"_s << u"ditto -x"_s << u"site"_s;
        QTest::newRow("zip") << u"Fotos.Zip"_s << u"ditto -x -k"_s << u"Fotos"_s;
    }

    void extractCutsTheArchiveEnding()
    {
        QFETCH(QString, name);
        QFETCH(QString, program);
        QFETCH(QString, folder);
        AppState& s = chosen({file(name), file(u"other.zip"_s)});
        s.perform(Actions::extract());
        QCOMPARE(s.stage(), Stage::review);
        QCOMPARE(reviewed().steps.size(), 1); // the first file only
        const ResolvedStep step = reviewed().steps.first();
        // Every archive goes through the safe unpacker; only zip is named as such.
        QCOMPARE(QStringList{QFileInfo(*step.executable).fileName()} + step.args.first(program.count(u' ')),
                 program.split(u' '));
        QCOMPARE(QFileInfo(step.outputPath).fileName(), folder);
        QVERIFY(step.outputIsFolder);
        QCOMPARE(step.summary, u"Unpacks “"_s + name + u"” into a new folder."_s);
        QCOMPARE(reviewed().summary,
                 u"Unpacks the archive into a new folder next to it. The archive stays as it is."_s);
    }

    void conversions_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("warning");
        QTest::newRow("jpg") << u"cat.png"_s << u"jpg"_s << u"sips"_s << u"Converts “cat.png” to JPEG."_s << QString();
        QTest::newRow("webp") << u"cat.png"_s << u"webp"_s << u"ffmpeg"_s << u"Converts “cat.png” to WebP."_s
                              << u"WebP uses ffmpeg, which is downloaded once the first time you press Run."_s;
        QTest::newRow("m4a") << u"song.wav"_s << u"m4a"_s << u"afconvert"_s
                             << u"Converts “song.wav” to AAC in an .m4a file."_s << QString();
        QTest::newRow("flac") << u"song.wav"_s << u"flac"_s << u"afconvert"_s
                              << u"Converts “song.wav” to a .flac file."_s << QString();
        QTest::newRow("mp3") << u"song.wav"_s << u"mp3"_s << u"ffmpeg"_s << u"Converts “song.wav” to an .mp3 file."_s
                             << u"MP3 uses ffmpeg, which is downloaded once the first time you press Run."_s;
    }

    void conversions()
    {
        QFETCH(QString, input);
        QFETCH(QString, format);
        QFETCH(QString, program);
        QFETCH(QString, summary);
        QFETCH(QString, warning);
        AppState& s = chosen({file(input)});
        const bool picture = input.endsWith(u".png"_s);
        s.perform(actionWithId(picture ? u"convertImage"_s : u"convertAudio"_s));
        QCOMPARE(s.dialog(), picture ? DialogKind::convertImage : DialogKind::convertAudio);
        picture ? s.prepareConvertImage(format) : s.prepareConvertAudio(format);
        QCOMPARE(s.dialog(), std::nullopt);
        QCOMPARE(s.stage(), Stage::review);
        const ResolvedStep step = reviewed().steps.first();
        // Every archive goes through the safe unpacker; only zip is named as such.
        QCOMPARE(QStringList{QFileInfo(*step.executable).fileName()} + step.args.first(program.count(u' ')),
                 program.split(u' '));
        QCOMPARE(step.needsFFmpeg, program == u"ffmpeg"_s);
        QCOMPARE(step.summary, summary);
        QCOMPARE(QFileInfo(step.outputPath).fileName(),
                 QFileInfo(input).completeBaseName() + u" (converted)."_s + format);
        QCOMPARE(reviewed().label, u"Convert to "_s + format);
        QCOMPARE(reviewed().warnings, warning.isEmpty() ? QStringList() : QStringList{warning});
        QCOMPARE(reviewed().summary,
                 u"Saves 1 new ."_s + format + (picture ? u" picture"_s : u" file"_s)
                     + u" next to the original. The originals stay as they are."_s);
    }

    void renameRefusals_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("message");
        const QString unusable = u"” is not a usable file name (no empty names, slashes, colons or leading dots)."_s;
        QTest::newRow("slash") << QStringList{u"a/b"_s, u"x"_s} << u"“a/b"_s + unusable;
        QTest::newRow("leading dot") << QStringList{u".hidden"_s, u"x"_s} << u"“.hidden"_s + unusable;
        QTest::newRow("empty") << QStringList{u" \n"_s, u"x"_s} << u"“ \n"_s + unusable;
        QTest::newRow("same name") << QStringList{u" a.txt "_s, u"x"_s}
                                   << u"“a.txt” is already the name. Change it first."_s;
        QTest::newRow("name that exists")
            << QStringList{u"taken.txt"_s, u"x"_s} << u"A file named “taken.txt” already exists there."_s;
        QTest::newRow("equal but for case")
            << QStringList{u"Notes.txt"_s, u"notes.TXT"_s} << u"A file named “notes.TXT” already exists there."_s;
        QTest::newRow("second one refused") << QStringList{u"fine.txt"_s, u"b/c"_s} << u"“b/c"_s + unusable;
    }

    void renameRefusals()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, message);
        file(u"taken.txt"_s);
        AppState& s = chosen({file(u"a.txt"_s), file(u"b.txt"_s)});
        s.perform(Actions::rename());
        QCOMPARE(s.dialog(), DialogKind::rename);
        s.prepareRename(names, false);
        QCOMPARE(s.message(), message);
        QCOMPARE(s.stage(), Stage::idle);
        QVERIFY(!s.review());
        QCOMPARE(s.dialog(), DialogKind::rename); // still open, so the user can correct the name
    }

    void renamePlansMovesOrCopies()
    {
        const QString a = file(u"my notes.txt"_s);
        const QString b = file(u"b.txt"_s);
        AppState& s = chosen({a, b});
        s.prepareRename({u"  it's.txt "_s, u"c.txt"_s, u"ignored.txt"_s}, false);
        QCOMPARE(s.stage(), Stage::review);
        QCOMPARE(reviewed().steps.size(), 2);
        const ResolvedStep first = reviewed().steps.first();
        QCOMPARE(first.native, NativeJob(NativeJobs::Move{a, m_dir.path() + u"/it's.txt"_s}));
        QCOMPARE(first.displayCommand, u"mv -n '"_s + a + u"' '"_s + m_dir.path() + u"/it'\\''s.txt'"_s);
        QCOMPARE(first.summary, u"Renames “my notes.txt” to “it's.txt”."_s);
        QCOMPARE(reviewed().warnings, QStringList{u"This changes the original file's name."_s});
        QCOMPARE(reviewed().summary, u"Renames the file itself."_s);

        s.prepareRename({u"copy.txt"_s}, true);
        QCOMPARE(reviewed().steps.first().native, NativeJob(NativeJobs::Copy{a, m_dir.path() + u"/copy.txt"_s}));
        QVERIFY(reviewed().steps.first().displayCommand.startsWith(u"cp -R -n "_s));
        QCOMPARE(reviewed().steps.first().summary, u"Makes a copy called “copy.txt”. The original stays."_s);
        QCOMPARE(reviewed().summary, u"Saves a renamed copy; the original file is not changed."_s);
        QVERIFY(reviewed().warnings.isEmpty());
        QVERIFY(!reviewed().tempDir);
    }

    void pdfExtract_data()
    {
        QTest::addColumn<QString>("pages");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("output");
        QTest::newRow("three parts")
            << u"3-5-7"_s << u"I could not read “3-5-7”. Use page numbers like 1-3, 5 (this PDF has 6 pages)."_s
            << QString();
        QTest::newRow("beyond the end")
            << u"7"_s << u"I could not read “7”. Use page numbers like 1-3, 5 (this PDF has 6 pages)."_s << QString();
        QTest::newRow("with spaces") << u" 1 - 3, 5 "_s << QString() << u"doc (pages 1-3,5).pdf"_s;
    }

    void pdfExtract()
    {
        QFETCH(QString, pages);
        QFETCH(QString, message);
        QFETCH(QString, output);
        // Pressed at once, before the helper has counted the pages: the answer waits for the count.
        AppState& s = chosen({TestPdf::write(m_dir.path() + u"/doc.pdf"_s, 6)});
        s.perform(actionWithId(u"pdfExtract"_s));
        s.preparePDFExtract(pages);
        s.reprobe(); // as after an install: the newer probe answers the waiting request
        QTRY_VERIFY_WITH_TIMEOUT(s.message() || s.review(), 20000);
        if (!message.isEmpty()) {
            QCOMPARE(s.message(), message);
            QCOMPARE(s.stage(), Stage::idle);
            QCOMPARE(s.dialog(), DialogKind::pdfExtract);
            return;
        }
        QCOMPARE(s.dialog(), std::nullopt);
        const ResolvedStep step = reviewed().steps.first();
        QCOMPARE(QFileInfo(step.outputPath).fileName(), output);
        QCOMPARE(step.native,
                 NativeJob(NativeJobs::PdfExtract{m_dir.path() + u"/doc.pdf"_s, {0, 1, 2, 4}, step.outputPath}));
        QCOMPARE(step.summary, u"Copies pages 1-3,5 into a new PDF."_s);
        QCOMPARE(reviewed().summary, u"Makes a new PDF with only pages 1-3,5. The original stays as it is."_s);
        QVERIFY(step.displayCommand.endsWith(u" pages 1-3,5 of doc.pdf → doc (pages 1-3,5).pdf"_s));
    }

    void pdfExtractOfSomethingElse()
    {
        AppState& s = chosen({file(u"fake.pdf"_s, "not a pdf")});
        s.preparePDFExtract(u"1"_s);
        QTRY_COMPARE_WITH_TIMEOUT(s.message(), u"That PDF could not be opened."_s, 20000);
        QVERIFY(!s.review());
    }

    void pdfMerge()
    {
        const QString a = TestPdf::write(m_dir.path() + u"/a.pdf"_s, 1);
        const QString b = TestPdf::write(m_dir.path() + u"/b.pdf"_s, 2);
        AppState& s = chosen({a, b});
        s.preparePDFMerge({b});
        QCOMPARE(s.message(), u"Pick at least two PDFs to merge."_s);
        QVERIFY(!s.review());
        s.preparePDFMerge({b, a});
        const ResolvedStep step = reviewed().steps.first();
        QCOMPARE(step.native, NativeJob(NativeJobs::PdfMerge{{b, a}, m_dir.path() + u"/b (merged).pdf"_s}));
        QVERIFY(step.displayCommand.endsWith(u" b.pdf + a.pdf → b (merged).pdf"_s));
        QCOMPARE(step.summary, u"Joins 2 PDFs in the order shown."_s);
        QCOMPARE(reviewed().summary, u"Joins 2 PDFs into one new PDF. The originals stay as they are."_s);
    }

    void pdfSmallerAndPictures()
    {
        const QString a = TestPdf::write(m_dir.path() + u"/a.pdf"_s, 1);
        QDir().mkpath(m_dir.path() + u"/a (pages)"_s);
        AppState& s = chosen({a});
        s.perform(actionWithId(u"pdfImages"_s));
        const ResolvedStep pictures = reviewed().steps.first();
        QCOMPARE(pictures.native, NativeJob(NativeJobs::PdfImages{a, m_dir.path() + u"/a (pages) 2"_s}));
        QVERIFY(pictures.outputIsFolder);
        QVERIFY(pictures.displayCommand.endsWith(u" → a (pages) 2/page-1.png, page-2.png, ..."_s));

        s.perform(actionWithId(u"pdfSmaller"_s));
        QCOMPARE(reviewed().steps.first().native,
                 NativeJob(NativeJobs::PdfShrink{a, m_dir.path() + u"/a (smaller).pdf"_s}));
        QCOMPARE(reviewed().summary, u"Makes smaller copies of 1 PDF. The originals stay as they are."_s);
        QCOMPARE(reviewed().warnings.size(), 1);
        QVERIFY(!reviewed().steps.first().displayCommand.contains(u"Apple"_s));
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

    void unknownDirectActionDoesNothing()
    {
        AppState& s = chosen({file(u"a.txt"_s)});
        FileAction odd = Actions::zip();
        odd.id = u"teleport"_s;
        s.perform(odd);
        QCOMPARE(s.stage(), Stage::idle);
        QVERIFY(!s.review());
        QVERIFY(!s.dialog());

        const FileAction trim = actionWithId(u"trim"_s);
        s.setRequestText(u"old request"_s);
        s.perform(trim);
        QCOMPARE(s.stage(), Stage::asking);
        QCOMPARE(s.currentAction(), trim);
        QCOMPARE(s.requestText(), QString());
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
