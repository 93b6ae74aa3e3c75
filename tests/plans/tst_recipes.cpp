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

    // What each direct action says before it runs: the option's summary and warnings, its first step's
    // summary and the end of the command shown. The runs themselves are driven with real tools elsewhere.
    void sentences_data()
    {
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("command"); // how the shown command ends
        const QString originals = u" The originals stay as they are."_s;
        QTest::newRow("zip") << u"Makes 2 zip files next to the originals."_s + originals << QString()
                             << u"Puts “Photos” into a zip file."_s << u" Photos"_s;
        QTest::newRow("zip one") << u"Makes 1 zip file next to the original."_s + originals << QString()
                                 << u"Puts “a.txt” into a zip file."_s << u" a.txt"_s;
        // The archive's whole ending goes from the folder's name.
        QTest::newRow("extract") << u"Unpacks the archive into a new folder next to it. The archive stays as it is."_s
                                 << QString() << u"Unpacks “site.tgz” into a new folder."_s << u"/site"_s;
        QTest::newRow("jpg") << u"Saves 1 new .jpg picture next to the original."_s + originals << QString()
                             << u"Converts “in.png” to JPEG."_s << u"/in (converted).jpg'"_s;
        QTest::newRow("webp") << u"Saves 1 new .webp picture next to the original."_s + originals
                              << u"WebP uses ffmpeg, which is downloaded once the first time you press Run."_s
                              << u"Converts “in.png” to WebP."_s << u"/in (converted).webp'"_s;
        QTest::newRow("m4a") << u"Saves 1 new .m4a file next to the original."_s + originals << QString()
                             << u"Converts “in.png” to AAC in an .m4a file."_s << u"/in (converted).m4a'"_s;
        QTest::newRow("mp3") << u"Saves 1 new .mp3 file next to the original."_s + originals
                             << u"MP3 uses ffmpeg, which is downloaded once the first time you press Run."_s
                             << u"Converts “in.png” to an .mp3 file."_s << u"/in (converted).mp3'"_s;
        QTest::newRow("wav") << u"Saves 1 new .wav file next to the original."_s + originals << QString()
                             << u"Converts “in.png” to a .wav file."_s << u"/in (converted).wav'"_s;
        QTest::newRow("rename") << u"Renames the file itself."_s << u"This changes the original file's name."_s
                                << u"Renames “my notes.txt” to “it's.txt”."_s << u"/it'\\''s.txt'"_s;
        QTest::newRow("rename, keeping a copy")
            << u"Saves a renamed copy; the original file is not changed."_s << QString()
            << u"Makes a copy called “copy.txt”. The original stays."_s << u"/copy.txt"_s;
        QTest::newRow("extract pages") << u"Makes a new PDF with only pages 1-3,5. The original stays as it is."_s
                                       << QString() << u"Copies pages 1-3,5 into a new PDF."_s
                                       << u" pages 1-3,5 of doc.pdf → doc (pages 1-3,5).pdf"_s;
        QTest::newRow("merge") << u"Joins 2 PDFs into one new PDF."_s + originals << QString()
                               << u"Joins 2 PDFs in the order shown."_s << u" b.pdf + a.pdf → b (merged).pdf"_s;
        QTest::newRow("smaller") << u"Makes smaller copies of 1 PDF."_s + originals
                                 << u"Pictures inside lose some sharpness; text and drawings stay as they are."_s
                                 << u"Saves a smaller copy of “a.pdf”."_s << u" → a (smaller).pdf"_s;
        // "a (pages)" is taken: the new folder gets the next free name.
        QTest::newRow("pictures") << u"Saves every page as a PNG picture in a new folder next to the PDF."_s
                                  << QString() << u"Saves each page of “a.pdf” as a PNG picture in a new folder."_s
                                  << u" → a (pages) 2/page-1.png, page-2.png, ..."_s;
    }

    void sentences()
    {
        QFETCH(QString, summary);
        QFETCH(QString, warning);
        QFETCH(QString, step);
        QFETCH(QString, command);
        const QString row = QString::fromUtf8(QTest::currentDataTag());
        QDir().mkpath(m_dir.path() + u"/Photos"_s);
        QDir().mkpath(m_dir.path() + u"/a (pages)"_s);
        const QString png = file(u"in.png"_s);
        const QStringList pdfs{file(u"b.pdf"_s), file(u"a.pdf"_s)};
        const bool conversion = QStringList{u"jpg"_s, u"webp"_s, u"m4a"_s, u"mp3"_s, u"wav"_s}.contains(row);
        const ActionId kind = u"m4a mp3 wav"_s.contains(row) ? ActionId::convertAudio : ActionId::convertImage;
        const ResolvedOption option
            = planned(row == u"zip"_s           ? Recipes::zip({m_dir.path() + u"/Photos"_s, file(u"b.txt"_s)})
                          : row == u"zip one"_s ? Recipes::zip({file(u"a.txt"_s)})
                          : row == u"extract"_s ? Recipes::extract(file(u"site.tgz"_s))
                          : conversion          ? Recipes::convert(kind, {png}, row, false)
                          : row.startsWith(u"rename")
                          ? Recipes::rename({file(u"my notes.txt"_s)},
                                            {row == u"rename"_s ? u"  it's.txt "_s : u"copy.txt"_s}, row != u"rename"_s)
                          : row == u"extract pages"_s ? Recipes::pdfExtract(file(u"doc.pdf"_s), u" 1 - 3, 5 "_s, 6)
                          : row == u"merge"_s         ? Recipes::pdfMerge(pdfs)
                          : row == u"smaller"_s       ? Recipes::pdfSmaller({pdfs.last()})
                                                      : Recipes::pdfImages({pdfs.last()}));
        QCOMPARE(option.summary, summary);
        QCOMPARE(option.warnings, warning.isEmpty() ? QStringList() : QStringList{warning});
        QCOMPARE(option.steps.first().summary, step);
        QVERIFY2(option.steps.first().displayCommand.endsWith(command),
                 qPrintable(option.steps.first().displayCommand));
        if (conversion) {
            // Once ffmpeg is there, no warning about downloading it.
            QCOMPARE(option.label, u"Convert to "_s + row);
            QVERIFY(planned(Recipes::convert(kind, {png}, row, true)).warnings.isEmpty());
        }
    }

    // Each file and folder gets its own zip, under a name nothing else has.
    void zipNamesEachFileAndFolderApart()
    {
        const QString folder = m_dir.path() + u"/Photos"_s;
        QDir().mkpath(folder);
        file(u"photo.zip"_s);
        const ResolvedOption zip
            = planned(Recipes::zip({folder, file(u"photo.jpeg"_s), file(u"photo.png"_s), file(u"notes.v2.txt"_s)}));
        QCOMPARE(outputNames(zip),
                 (QStringList{u"Photos.zip"_s, u"photo 2.zip"_s, u"photo 3.zip"_s, u"notes.v2.zip"_s}));
    }

    // Every format the dialogs offer makes a plan the checker accepts; nothing else does.
    void formatsOfferedAreTheFormatsPlanned()
    {
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

    void pdfRefusals()
    {
        QCOMPARE(Recipes::pdfExtract(file(u"doc.pdf"_s), u"1"_s, 0).error().message,
                 u"That PDF could not be opened."_s);
        QCOMPARE(Recipes::pdfMerge({file(u"b.pdf"_s)}).error().message, u"Pick at least two PDFs to merge."_s);
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
