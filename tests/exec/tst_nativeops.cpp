#include "TestFiles.h"
#include "TestMain.h"
#include "TestPdf.h"
#include "exec/NativeOps.h"

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

using namespace Qt::StringLiterals;

namespace {

struct PdfFacts
{
    int pages = 0;
    QList<QRectF> boxes; // MediaBox as x0, y0, width, height
    QList<int> rotations;
    QList<int> annotations;
};

PdfFacts facts(const QString& path)
{
    PdfFacts f;
    QPDF pdf;
    pdf.processFile(QFile::encodeName(path).constData());
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        const QPDFObjectHandle::Rectangle r = page.getAttribute("/MediaBox", false).getArrayAsRectangle();
        f.boxes << QRectF(r.llx, r.lly, r.urx - r.llx, r.ury - r.lly);
        QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
        f.rotations << (rotate.isInteger() ? rotate.getIntValueAsInt() : 0);
        f.annotations << int(page.getAnnotations().size());
        ++f.pages;
    }
    return f;
}

QString pdfText(const QString& path)
{
    QProcess process;
    process.start(u"pdftotext"_s, {u"-layout"_s, path, u"-"_s});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput()).simplified();
}

// The failure's sentence, absent on success.
std::optional<QString> failure(const Result<void, PlanError>& result)
{
    return result.ok() ? std::nullopt : std::optional(result.error().message);
}

QByteArray hashOf(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestNativeOps : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_mixed; // five pages: sizes, a rotated page, a box away from 0, 0, and links

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_mixed = TestPdf::write(path(u"mixed.pdf"_s),
                                 {{{0, 0, 612, 792}, 0, 2},
                                  {{0, 0, 595, 842}, 0, -1},
                                  {{0, 0, 612, 792}, 90, -1},
                                  {{100, 200, 300, 400}, 0, 0},
                                  {{0, 0, 1224, 792}, 0, -1}});
    }

    void parsePages_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("expected"); // empty: no page list
        QTest::newRow("three parts") << u"3-5-7"_s << 10 << QList<int>{};
        QTest::newRow("zero") << u"0"_s << 10 << QList<int>{};
        QTest::newRow("falling range") << u"4-2"_s << 10 << QList<int>{};
        QTest::newRow("above the count") << u"11"_s << 10 << QList<int>{};
        QTest::newRow("one bad entry spoils all") << u"1, 2, x"_s << 10 << QList<int>{};
        QTest::newRow("empty") << QString() << 10 << QList<int>{};
        QTest::newRow("inner space") << u"1 2"_s << 10 << QList<int>{};
        QTest::newRow("huge number") << u"99999999999999"_s << 10 << QList<int>{};
        QTest::newRow("range and page") << u"1-3, 5"_s << 10 << QList<int>{0, 1, 2, 4};
        QTest::newRow("order kept") << u"5,1-2"_s << 10 << QList<int>{4, 0, 1};
        QTest::newRow("duplicates kept") << u"2,2"_s << 10 << QList<int>{1, 1};
        QTest::newRow("open end") << u"3-"_s << 10 << QList<int>{2};
        QTest::newRow("open start") << u"-3"_s << 10 << QList<int>{2};
        QTest::newRow("plus sign and tabs") << u"\t+4 ,"_s << 10 << QList<int>{3};
    }

    void parsePages()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(QList<int>, expected);
        const std::optional<QList<int>> pages = NativeOps::parsePages(text, count);
        if (expected.isEmpty()) {
            QVERIFY(!pages);
        } else {
            QVERIFY(pages);
            QCOMPARE(*pages, expected);
        }
    }

    void copyNeverReplaces()
    {
        const QString from = TestFiles::write(path(u"copy/a.txt"_s), "new");
        const QString to = TestFiles::write(path(u"copy/b.txt"_s), "old");
        QCOMPARE(failure(NativeOps::copy(from, to)), qt_error_string(EEXIST));
        QFile b(to);
        QVERIFY(b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), "old");
        // A dangling link is something too: it is not followed to create a file elsewhere.
        QVERIFY(QFile::link(path(u"copy/nowhere"_s), path(u"copy/link"_s)));
        QVERIFY(failure(NativeOps::copy(from, path(u"copy/link"_s))));
        QVERIFY(!QFile::exists(path(u"copy/nowhere"_s)));
    }

    void copyAndMoveWholeFolders()
    {
        TestFiles::write(path(u"tree/src/a.txt"_s), "a");
        TestFiles::write(path(u"tree/src/inner/b.txt"_s), QByteArray(300000, 'b'));
        QVERIFY(QFile::link(u"a.txt"_s, path(u"tree/src/link"_s)));
        QCOMPARE(failure(NativeOps::copy(path(u"tree/src"_s), path(u"tree/copy"_s))), std::nullopt);
        QCOMPARE(hashOf(path(u"tree/copy/inner/b.txt"_s)), hashOf(path(u"tree/src/inner/b.txt"_s)));
        QCOMPARE(QFileInfo(path(u"tree/copy/link"_s)).symLinkTarget(), path(u"tree/copy/a.txt"_s));
        QVERIFY(QFile::exists(path(u"tree/src/a.txt"_s)));

        QCOMPARE(failure(NativeOps::move(path(u"tree/copy"_s), path(u"tree/moved"_s))), std::nullopt);
        QVERIFY(!QFile::exists(path(u"tree/copy"_s)));
        QVERIFY(QFile::exists(path(u"tree/moved/inner/b.txt"_s)));
        // Moving onto an existing folder fails and leaves both as they were.
        QVERIFY(failure(NativeOps::move(path(u"tree/src"_s), path(u"tree/moved"_s))));
        QVERIFY(QFile::exists(path(u"tree/src/a.txt"_s)));
        QVERIFY(QFile::exists(path(u"tree/moved/a.txt"_s)));
    }

    void moveAcrossFileSystems()
    {
        QTemporaryDir shm(u"/dev/shm/trellick-test-XXXXXX"_s);
        if (!shm.isValid()) {
            QSKIP("no second file system here");
        }
        const QString from = TestFiles::write(path(u"far/a.bin"_s), QByteArray(100000, 'x'));
        const QString to = shm.filePath(u"a.bin"_s);
        QCOMPARE(failure(NativeOps::move(from, to)), std::nullopt);
        QVERIFY(!QFile::exists(from));
        QCOMPARE(QFileInfo(to).size(), 100000);
    }

    void extractCopiesPagesWhole()
    {
        const QString dest = path(u"extract.pdf"_s);
        QCOMPARE(failure(NativeOps::pdfExtract(m_mixed, {3, 2, 0, 99, -1}, dest)), std::nullopt);
        const PdfFacts f = facts(dest);
        QCOMPARE(f.pages, 3);
        QCOMPARE(f.boxes.at(0), QRectF(100, 200, 300, 400));
        QCOMPARE(f.rotations, (QList<int>{0, 90, 0}));
        QCOMPARE(f.annotations, (QList<int>{1, 0, 1}));
        QCOMPARE(pdfText(dest), u"Page 4 Page 3 Page 1"_s);
    }

    void extractRefusals_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QList<int>>("pages");
        QTest::addColumn<QString>("message");
        QTest::newRow("no page exists") << u"mixed"_s << QList<int>{5, 9}
                                        << u"None of those pages exist in this PDF."_s;
        QTest::newRow("not a PDF") << u"text"_s << QList<int>{0} << u"The PDF could not be opened."_s;
        QTest::newRow("password") << u"locked"_s << QList<int>{0} << u"The PDF could not be opened."_s;
    }

    void extractRefusals()
    {
        QFETCH(QString, source);
        QFETCH(QList<int>, pages);
        QFETCH(QString, message);
        const QString text = TestFiles::write(path(u"text.pdf"_s), "just some words\n");
        if (!QFile::exists(path(u"locked.pdf"_s))) {
            QVERIFY(TestFiles::runTool(
                u"qpdf"_s, {u"--encrypt"_s, u"user"_s, u"owner"_s, u"256"_s, u"--"_s, m_mixed, path(u"locked.pdf"_s)}));
        }
        const QString src = source == u"mixed"_s ? m_mixed : path(source + u".pdf"_s);
        const QString dest = path(u"refused-"_s + source + u".pdf"_s);
        QCOMPARE(failure(NativeOps::pdfExtract(src, pages, dest)), message);
        QVERIFY(!QFile::exists(dest));
    }

    void damagedFilesAreRepaired()
    {
        const QString broken = TestPdf::write(path(u"broken.pdf"_s), {{}, {}, {}}, true);
        QCOMPARE(failure(NativeOps::pdfExtract(broken, {2}, path(u"repaired.pdf"_s))), std::nullopt);
        QCOMPARE(pdfText(path(u"repaired.pdf"_s)), u"Page 3"_s);
        QCOMPARE(failure(NativeOps::shrink(broken, path(u"repaired-small.pdf"_s))), std::nullopt);
        QCOMPARE(facts(path(u"repaired-small.pdf"_s)).pages, 3);
        // Cut off before the cross-reference table and trailer: beyond qpdf's repair, within the renderer's.
        QFile whole(TestPdf::write(path(u"whole.pdf"_s), 3));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        const QByteArray bytes = whole.readAll();
        TestFiles::write(path(u"cut.pdf"_s), bytes.left(bytes.indexOf("xref")));
        QCOMPARE(failure(NativeOps::pdfMerge({path(u"cut.pdf"_s)}, path(u"cut-merged.pdf"_s))),
                 u"“cut.pdf” could not be opened as a PDF."_s);
        QCOMPARE(failure(NativeOps::shrink(path(u"cut.pdf"_s), path(u"cut-small.pdf"_s))), std::nullopt);
        QCOMPARE(facts(path(u"cut-small.pdf"_s)).pages, 3);
    }

    void extractNeverReplaces()
    {
        const QString dest = TestFiles::write(path(u"taken.pdf"_s), "mine");
        QCOMPARE(failure(NativeOps::pdfExtract(m_mixed, {0}, dest)), u"The new PDF could not be saved."_s);
        QFile file(dest);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), "mine");
    }

    void mergeKeepsSourceOrder()
    {
        const QString a = TestPdf::write(path(u"two.pdf"_s), 2);
        const QString b = TestPdf::write(path(u"three.pdf"_s), 3);
        QCOMPARE(failure(NativeOps::pdfMerge({b, a, m_mixed}, path(u"merged.pdf"_s))), std::nullopt);
        const PdfFacts f = facts(path(u"merged.pdf"_s));
        QCOMPARE(f.pages, 10);
        QCOMPARE(f.rotations.at(7), 90);
        QVERIFY(pdfText(path(u"merged.pdf"_s)).startsWith(u"Page 1 Page 2 Page 3 Page 1 Page 2 Page 1"_s));

        QCOMPARE(failure(NativeOps::pdfMerge({a, a}, path(u"twice.pdf"_s))), std::nullopt);
        QCOMPARE(pdfText(path(u"twice.pdf"_s)), u"Page 1 Page 2 Page 1 Page 2"_s);

        const QString notPdf = TestFiles::write(path(u"notes “draft”.pdf"_s), "hello");
        QCOMPARE(failure(NativeOps::pdfMerge({a, notPdf}, path(u"merged2.pdf"_s))),
                 u"“notes “draft”.pdf” could not be opened as a PDF."_s);
        QVERIFY(!QFile::exists(path(u"merged2.pdf"_s)));
        QCOMPARE(failure(NativeOps::pdfMerge({}, path(u"merged3.pdf"_s))), u"The merged PDF could not be saved."_s);
    }

    void shrinkKeepsEveryPageSize()
    {
        const QString dest = path(u"small.pdf"_s);
        QCOMPARE(failure(NativeOps::shrink(m_mixed, dest)), std::nullopt);
        const PdfFacts f = facts(dest);
        QCOMPARE(f.pages, 5);
        // The visible page in points, whatever the box's origin; a rotated page stands upright.
        QCOMPARE(
            f.boxes,
            (QList<QRectF>{{0, 0, 612, 792}, {0, 0, 595, 842}, {0, 0, 792, 612}, {0, 0, 300, 400}, {0, 0, 1224, 792}}));
        QCOMPARE(f.rotations, (QList<int>{0, 0, 0, 0, 0}));

        QPDF pdf;
        pdf.processFile(QFile::encodeName(dest).constData());
        QPDFPageObjectHelper first = QPDFPageDocumentHelper(pdf).getAllPages().front();
        const std::map<std::string, QPDFObjectHandle> images = first.getImages();
        QCOMPARE(images.size(), size_t(1));
        QPDFObjectHandle image = images.begin()->second;
        QCOMPARE(image.getDict().getKey("/Width").getIntValue(), 428);
        QCOMPARE(image.getDict().getKey("/Height").getIntValue(), 554);
        QCOMPARE(image.getDict().getKey("/Filter").getName(), std::string("/DCTDecode"));
        const std::shared_ptr<Buffer> raw = image.getRawStreamData();
        QVERIFY(raw->getSize() > 1000);
        QCOMPARE(raw->getBuffer()[0], 0xFF);
        QCOMPARE(raw->getBuffer()[1], 0xD8);
    }

    void shrinkRefusals()
    {
        const QString text = TestFiles::write(path(u"plain.pdf"_s), "not a pdf");
        QCOMPARE(failure(NativeOps::shrink(text, path(u"s1.pdf"_s))), u"The PDF could not be opened."_s);
        const QString taken = TestFiles::write(path(u"s2.pdf"_s), "mine");
        QCOMPARE(failure(NativeOps::shrink(m_mixed, taken)), u"The new PDF could not be created."_s);
        QCOMPARE(QFileInfo(taken).size(), 4);
    }

    void picturesAreNamedAndSized_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::newRow("nine pages") << 9 << u"page-1.png"_s << u"page-9.png"_s;
        QTest::newRow("twelve pages") << 12 << u"page-01.png"_s << u"page-12.png"_s;
    }

    void picturesAreNamedAndSized()
    {
        QFETCH(int, count);
        QFETCH(QString, first);
        QFETCH(QString, last);
        const QString src = TestPdf::write(path(u"pages-%1.pdf"_s.arg(count)), count);
        const QString dir = path(u"pictures-%1"_s.arg(count));
        QVERIFY(QDir().mkdir(dir));
        QCOMPARE(failure(NativeOps::pagesToImages(src, dir)), std::nullopt);
        const QStringList names = QDir(dir).entryList(QDir::Files, QDir::Name);
        QCOMPARE(names.size(), count);
        QCOMPARE(names.first(), first);
        QCOMPARE(names.last(), last);
        const QImage image(QDir(dir).filePath(first));
        QCOMPARE(image.size(), QSize(1224, 1584));
        QCOMPARE(image.pixelColor(600, 800), QColor(Qt::white)); // white, not transparent
        QCOMPARE(image.pixelColor(150, 1584 - 150).blue(), 204); // the square, upright
    }

    void picturesNeverReplace()
    {
        const QString dir = path(u"busy"_s);
        TestFiles::write(dir + u"/page-2.png"_s, "mine");
        const QString src = TestPdf::write(path(u"busy.pdf"_s), 3);
        QCOMPARE(failure(NativeOps::pagesToImages(src, dir)), qt_error_string(EEXIST));
        QFile kept(dir + u"/page-2.png"_s);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), "mine");
        QVERIFY(QFile::exists(dir + u"/page-1.png"_s)); // written before the clash, and kept
        QVERIFY(!QFile::exists(dir + u"/page-3.png"_s));
        QCOMPARE(failure(NativeOps::pagesToImages(path(u"plain.pdf"_s), dir)), u"The PDF could not be opened."_s);
    }
};

TRELLICK_TEST_MAIN(TestNativeOps)
#include "tst_nativeops.moc"
