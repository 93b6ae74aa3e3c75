#include "TestFiles.h"
#include "TestMain.h"
#include "base/AppPaths.h"
#include "plans/PageList.h"
#include "plans/Recipes.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList outputNames(const ResolvedOption& option)
{
    QStringList names;
    for (const ResolvedStep& step : option.steps) {
        names << QFileInfo(step.outputPath).fileName();
    }
    return names;
}

} // namespace

// The plans of the direct actions, from files and choices to the option put up for review.
class TestRecipes : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString& name, const QByteArray& bytes = "x")
    {
        return TestFiles::write(m_dir.path() + u'/' + name, bytes);
    }

    static ResolvedOption planned(const Result<ResolvedOption, PlanError>& result)
    {
        if (!result.ok()) {
            qWarning("refused: %s", qPrintable(result.error().message));
        }
        return result.ok() ? result.value() : ResolvedOption();
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void zipNamesEachFileAndFolderApart()
    {
        const QString folder = m_dir.path() + u"/Photos"_s;
        QDir().mkpath(folder);
        file(u"photo.zip"_s);
        const ResolvedOption zip
            = planned(Recipes::zip({folder, file(u"photo.jpeg"_s), file(u"photo.png"_s), file(u"notes.v2.txt"_s)}));
        QCOMPARE(outputNames(zip),
                 (QStringList{u"Photos.zip"_s, u"photo 2.zip"_s, u"photo 3.zip"_s, u"notes.v2.zip"_s}));
        QCOMPARE(zip.label, u"Compress to .zip"_s);
        QCOMPARE(zip.summary, u"Makes 4 zip files next to the originals. The originals stay as they are."_s);
        QCOMPARE(zip.steps.first().summary, u"Puts “Photos” into a zip file."_s);
        QVERIFY(zip.steps.first().displayCommand.startsWith(u"cd "_s));
        QVERIFY(zip.tempDir);
        QCOMPARE(planned(Recipes::zip({file(u"a.txt"_s)})).summary,
                 u"Makes 1 zip file next to the original. The originals stay as they are."_s);
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
        const ResolvedOption extract = planned(Recipes::extract(file(name)));
        const ResolvedStep step = extract.steps.first();
        // Every archive goes through the safe unpacker; only zip is named as such.
        QCOMPARE(QStringList{QFileInfo(*step.executable).fileName()} + step.args.first(program.count(u' ')),
                 program.split(u' '));
        QCOMPARE(QFileInfo(step.outputPath).fileName(), folder);
        QVERIFY(step.outputIsFolder);
        QCOMPARE(step.summary, u"Unpacks “"_s + name + u"” into a new folder."_s);
        QCOMPARE(extract.summary, u"Unpacks the archive into a new folder next to it. The archive stays as it is."_s);
    }

    void conversions_data()
    {
        QTest::addColumn<ActionId>("conversion");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("warning");
        const ActionId picture = ActionId::convertImage;
        const ActionId audio = ActionId::convertAudio;
        QTest::newRow("jpg") << picture << u"jpg"_s << u"sips"_s << u"Converts “in.png” to JPEG."_s << QString();
        QTest::newRow("heic") << picture << u"heic"_s << u"sips"_s << u"Converts “in.png” to HEIC."_s << QString();
        QTest::newRow("webp") << picture << u"webp"_s << u"ffmpeg"_s << u"Converts “in.png” to WebP."_s
                              << u"WebP uses ffmpeg, which is downloaded once the first time you press Run."_s;
        QTest::newRow("m4a") << audio << u"m4a"_s << u"afconvert"_s << u"Converts “in.png” to AAC in an .m4a file."_s
                             << QString();
        QTest::newRow("wav") << audio << u"wav"_s << u"afconvert"_s << u"Converts “in.png” to a .wav file."_s
                             << QString();
        QTest::newRow("mp3") << audio << u"mp3"_s << u"ffmpeg"_s << u"Converts “in.png” to an .mp3 file."_s
                             << u"MP3 uses ffmpeg, which is downloaded once the first time you press Run."_s;
    }

    void conversions()
    {
        QFETCH(ActionId, conversion);
        QFETCH(QString, format);
        QFETCH(QString, program);
        QFETCH(QString, summary);
        QFETCH(QString, warning);
        const ResolvedOption converted = planned(Recipes::convert(conversion, {file(u"in.png"_s)}, format, false));
        const ResolvedStep step = converted.steps.first();
        QCOMPARE(QFileInfo(*step.executable).fileName(), program);
        QCOMPARE(step.needsFFmpeg, program == u"ffmpeg"_s);
        QCOMPARE(step.summary, summary);
        QCOMPARE(QFileInfo(step.outputPath).fileName(), u"in (converted)."_s + format);
        QCOMPARE(converted.label, u"Convert to "_s + format);
        QCOMPARE(converted.warnings, warning.isEmpty() ? QStringList() : QStringList{warning});
        QVERIFY(planned(Recipes::convert(conversion, {file(u"in.png"_s)}, format, true)).warnings.isEmpty());
        QCOMPARE(converted.summary,
                 u"Saves 1 new ."_s + format + (conversion == ActionId::convertImage ? u" picture"_s : u" file"_s)
                     + u" next to the original. The originals stay as they are."_s);
    }

    // Every format the dialogs offer makes a plan the checker accepts; nothing else does.
    void formatsOfferedAreTheFormatsPlanned()
    {
        QCOMPARE(Recipes::formats(ActionId::convertImage), (QStringList{u"jpg"_s, u"png"_s, u"heic"_s, u"webp"_s}));
        QCOMPARE(Recipes::formats(ActionId::convertAudio), (QStringList{u"m4a"_s, u"wav"_s, u"flac"_s, u"mp3"_s}));
        QVERIFY(Recipes::formats(ActionId::zip).isEmpty());
        const QString input = file(u"in.png"_s);
        for (const ActionId conversion : {ActionId::convertImage, ActionId::convertAudio}) {
            for (const QString& format : Recipes::formats(conversion)) {
                QVERIFY2(Recipes::convert(conversion, {input}, format, false).ok(), qPrintable(format));
            }
        }
        const auto refused = Recipes::convert(ActionId::convertAudio, {input}, u"jpg"_s, false);
        QVERIFY(!refused.ok());
        QCOMPARE(refused.error().message, u"“jpg” is not a format I can convert to."_s);
    }

    void renameRefusals_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("message");
        const QString unusable = u"” is not a usable file name (no empty names, slashes, colons or leading dots)."_s;
        QTest::newRow("slash") << QStringList{u"a/b"_s, u"x"_s} << u"“a/b"_s + unusable;
        QTest::newRow("colon") << QStringList{u"a:b"_s, u"x"_s} << u"“a:b"_s + unusable;
        QTest::newRow("leading dot") << QStringList{u".hidden"_s, u"x"_s} << u"“.hidden"_s + unusable;
        QTest::newRow("empty") << QStringList{u" \n"_s, u"x"_s} << u"“ \n"_s + unusable;
        QTest::newRow("same name") << QStringList{u" a.txt "_s, u"x"_s}
                                   << u"“a.txt” is already the name. Change it first."_s;
        QTest::newRow("name that exists")
            << QStringList{u"taken.txt"_s, u"x"_s} << u"A file named “taken.txt” already exists there."_s;
        QTest::newRow("equal but for case")
            << QStringList{u"Notes.txt"_s, u"notes.TXT"_s} << u"A file named “notes.TXT” already exists there."_s;
        QTest::newRow("second one refused") << QStringList{u"fine.txt"_s, u"b/c"_s} << u"“b/c"_s + unusable;
        QTest::newRow("no names") << QStringList() << u"Type a new name first."_s;
        const QString tooLong = QString(128, u'é');
        QTest::newRow("over 255 bytes") << QStringList{
            tooLong} << u"“"_s + tooLong + u"” is too long for a file name. Shorten it and try again."_s;
    }

    void renameRefusals()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, message);
        file(u"taken.txt"_s);
        const auto refused = Recipes::rename({file(u"a.txt"_s), file(u"b.txt"_s)}, names, false);
        QVERIFY(!refused.ok());
        QCOMPARE(refused.error().message, message);
    }

    void renameMovesOrCopies()
    {
        const QString a = file(u"my notes.txt"_s);
        const QString b = file(u"b.txt"_s);
        const ResolvedOption moved
            = planned(Recipes::rename({a, b}, {u"  it's.txt "_s, u"c.txt"_s, u"x.txt"_s}, false));
        QCOMPARE(moved.steps.size(), 2);
        const ResolvedStep first = moved.steps.first();
        QCOMPARE(first.native, NativeJob(NativeJobs::Move{a, m_dir.path() + u"/it's.txt"_s}));
        QCOMPARE(first.displayCommand, u"mv -n '"_s + a + u"' '"_s + m_dir.path() + u"/it'\\''s.txt'"_s);
        QCOMPARE(first.summary, u"Renames “my notes.txt” to “it's.txt”."_s);
        QCOMPARE(moved.warnings, QStringList{u"This changes the original file's name."_s});
        QCOMPARE(moved.summary, u"Renames the file itself."_s);

        const ResolvedOption copied = planned(Recipes::rename({a}, {u"copy.txt"_s}, true));
        QCOMPARE(copied.steps.first().native, NativeJob(NativeJobs::Copy{a, m_dir.path() + u"/copy.txt"_s}));
        QVERIFY(copied.steps.first().displayCommand.startsWith(u"cp -R -n "_s));
        QCOMPARE(copied.steps.first().summary, u"Makes a copy called “copy.txt”. The original stays."_s);
        QCOMPARE(copied.summary, u"Saves a renamed copy; the original file is not changed."_s);
        QVERIFY(copied.warnings.isEmpty());
        QVERIFY(!copied.tempDir);
    }

    void pageLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("expected"); // empty: no page list
        QTest::newRow("three parts") << u"3-5-7"_s << QList<int>{};
        QTest::newRow("zero") << u"0"_s << QList<int>{};
        QTest::newRow("falling range") << u"4-2"_s << QList<int>{};
        QTest::newRow("above the count") << u"11"_s << QList<int>{};
        QTest::newRow("one bad entry spoils all") << u"1, 2, x"_s << QList<int>{};
        QTest::newRow("empty") << QString() << QList<int>{};
        QTest::newRow("inner space") << u"1 2"_s << QList<int>{};
        QTest::newRow("huge number") << u"99999999999999"_s << QList<int>{};
        QTest::newRow("range and page") << u"1-3, 5"_s << QList<int>{0, 1, 2, 4};
        QTest::newRow("order kept") << u"5,1-2"_s << QList<int>{4, 0, 1};
        QTest::newRow("duplicates kept") << u"2,2"_s << QList<int>{1, 1};
        QTest::newRow("open end") << u"3-"_s << QList<int>{2};
        QTest::newRow("open start") << u"-3"_s << QList<int>{2};
        QTest::newRow("plus sign and tabs") << u"\t+4 ,"_s << QList<int>{3};
    }

    void pageLists()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, expected);
        const std::optional<QList<int>> pages = PageList::parse(text, 10);
        QCOMPARE(pages.value_or(QList<int>()), expected);
        const auto extract = Recipes::pdfExtract(file(u"doc.pdf"_s), text, 10);
        QCOMPARE(extract.ok(), bool(pages));
        if (!pages) {
            QCOMPARE(extract.error().message,
                     u"I could not read “"_s + text + u"”. Use page numbers like 1-3, 5 (this PDF has 10 pages)."_s);
        }
    }

    void pdfExtract()
    {
        const QString doc = file(u"doc.pdf"_s);
        const ResolvedOption extract = planned(Recipes::pdfExtract(doc, u" 1 - 3, 5 "_s, 6));
        const ResolvedStep step = extract.steps.first();
        QCOMPARE(step.native,
                 NativeJob(NativeJobs::PdfExtract{doc, {0, 1, 2, 4}, m_dir.path() + u"/doc (pages 1-3,5).pdf"_s}));
        QCOMPARE(step.summary, u"Copies pages 1-3,5 into a new PDF."_s);
        QCOMPARE(extract.summary, u"Makes a new PDF with only pages 1-3,5. The original stays as it is."_s);
        QVERIFY(step.displayCommand.endsWith(u" pages 1-3,5 of doc.pdf → doc (pages 1-3,5).pdf"_s));
        QCOMPARE(Recipes::pdfExtract(doc, u"1"_s, 0).error().message, u"That PDF could not be opened."_s);
    }

    void pdfMerge()
    {
        const QString a = file(u"a.pdf"_s);
        const QString b = file(u"b.pdf"_s);
        QCOMPARE(Recipes::pdfMerge({b}).error().message, u"Pick at least two PDFs to merge."_s);
        const ResolvedOption merged = planned(Recipes::pdfMerge({b, a}));
        const ResolvedStep step = merged.steps.first();
        QCOMPARE(step.native, NativeJob(NativeJobs::PdfMerge{{b, a}, m_dir.path() + u"/b (merged).pdf"_s}));
        QVERIFY(step.displayCommand.endsWith(u" b.pdf + a.pdf → b (merged).pdf"_s));
        QCOMPARE(step.summary, u"Joins 2 PDFs in the order shown."_s);
        QCOMPARE(merged.summary, u"Joins 2 PDFs into one new PDF. The originals stay as they are."_s);
    }

    void pdfSmallerAndPictures()
    {
        const QString a = file(u"a.pdf"_s);
        QDir().mkpath(m_dir.path() + u"/a (pages)"_s);
        const ResolvedStep pictures = planned(Recipes::pdfImages({a})).steps.first();
        QCOMPARE(pictures.native, NativeJob(NativeJobs::PdfImages{a, m_dir.path() + u"/a (pages) 2"_s}));
        QVERIFY(pictures.outputIsFolder);
        QVERIFY(pictures.displayCommand.endsWith(u" → a (pages) 2/page-1.png, page-2.png, ..."_s));

        const ResolvedOption smaller = planned(Recipes::pdfSmaller({a}));
        QCOMPARE(smaller.steps.first().native,
                 NativeJob(NativeJobs::PdfShrink{a, m_dir.path() + u"/a (smaller).pdf"_s}));
        QCOMPARE(smaller.summary, u"Makes smaller copies of 1 PDF. The originals stay as they are."_s);
        QCOMPARE(smaller.warnings.size(), 1);
    }

    // The one output-folder rule, for command steps and steps done inside the application alike: beside
    // the input when that is a folder that takes files, else the application's own output folder.
    void outputsGoToTheFallbackFolderWhenTheInputsFolderIsGone()
    {
        const QString gone = m_dir.path() + u"/gone/a.pdf"_s;
        const QString fallback = AppPaths::fallbackOutputDir();
        QCOMPARE(QFileInfo(planned(Recipes::pdfSmaller({gone})).steps.first().outputPath).absolutePath(), fallback);
        QCOMPARE(QFileInfo(planned(Recipes::zip({gone})).steps.first().outputPath).absolutePath(), fallback);
    }
};

TRELLICK_TEST_MAIN(TestRecipes)
#include "tst_recipes.moc"
