#include "SmallDisk.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TestPdf.h"
#include "exec/NativeOps.h"
#include "exec/NoReplace.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <numeric>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// Each page's MediaBox (as x0, y0, width, height), rotation and number of annotations.
struct PdfFacts
{
    QList<QRectF> boxes;
    QList<int> rotations;
    QList<int> annotations;

    bool operator==(const PdfFacts&) const = default;
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

// A PDF whose page tree is `kids` under the root page node (object 2); object 3 is a page.
QString hostilePdf(const QString& path, const QByteArray& kids)
{
    const QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>",
                                    "<< /Type /Pages /Kids [" + kids + "] /Count 1 >>",
                                    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>"};
    QByteArray text = "%PDF-1.4\n";
    QByteArray xref = "xref\n0 4\n0000000000 65535 f \n";
    for (qsizetype i = 0; i < objects.size(); ++i) {
        xref += QByteArray::number(text.size()).rightJustified(10, '0') + " 00000 n \n";
        text += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const QByteArray start = QByteArray::number(text.size());
    return TestFiles::write(path,
                            text + xref + "trailer\n<< /Size 4 /Root 1 0 R >>\nstartxref\n" + start + "\n%%EOF\n");
}

const timespec agedRead{1'000'000'000, 250};
const timespec agedChange{1'100'000'000, 750};

// Read and modified at two different times long ago; a link itself, not what it points to.
void ageItem(const QString& path)
{
    const timespec times[2] = {agedRead, agedChange};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW), 0);
}

bool isAged(const QString& path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && info.st_atim.tv_sec == agedRead.tv_sec
        && info.st_atim.tv_nsec == agedRead.tv_nsec && info.st_mtim.tv_sec == agedChange.tv_sec
        && info.st_mtim.tv_nsec == agedChange.tv_nsec;
}

// The failure's sentence, absent on success.
std::optional<QString> failure(const Result<void, PlanError>& result)
{
    return result.ok() ? std::nullopt : std::optional(result.error().message);
}

// Smooth colours under noise, like a photograph: thousands of colours, poor for lossless compression.
QImage photo(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    QRandomGenerator noise(7);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int grain = int(noise.bounded(12));
            image.setPixelColor(x, y,
                                QColor(std::min(255, x * 200 / width + grain), std::min(255, y * 200 / height + grain),
                                       std::min(255, 120 + grain)));
        }
    }
    return image;
}

// A diagram: a few flat colours.
QImage lineArt(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::darkBlue, 6));
    for (int x = 0; x < width; x += 40) {
        painter.drawLine(x, 0, width - x, height);
    }
    painter.fillRect(width / 4, height / 4, width / 2, height / 2, Qt::red);
    return image;
}

// Samples of `image` as a PDF stores them: 1 (grey), 3 (RGB) or 4 (CMYK) 8-bit samples, or 1 bit a pixel.
QByteArray samples(const QImage& image, int components, int bits = 8)
{
    QByteArray out;
    for (int y = 0; y < image.height(); ++y) {
        unsigned char byte = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (bits == 1) {
                byte = byte << 1 | (qGray(c.rgb()) > 127 ? 1 : 0);
                if (x % 8 == 7 || x == image.width() - 1) {
                    out += char(byte << (7 - x % 8));
                    byte = 0;
                }
            } else if (components == 1) {
                out += char(qGray(c.rgb()));
            } else if (components == 3) {
                out += char(c.red()) + QByteArray(1, char(c.green())) + char(c.blue());
            } else {
                out += char(255 - c.red()) + QByteArray(1, char(255 - c.green())) + char(255 - c.blue()) + '\0';
            }
        }
    }
    return out;
}

QPDFObjectHandle imageStream(QPDF& pdf, const QByteArray& data, int width, int height, const std::string& more)
{
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf, data.toStdString());
    image.replaceDict(QPDFObjectHandle::parse(&pdf,
                                              "<< /Type /XObject /Subtype /Image /Width " + std::to_string(width)
                                                  + " /Height " + std::to_string(height) + " " + more + " >>"));
    return image;
}

QPDFObjectHandle flateImage(QPDF& pdf, const QImage& image, int components, const std::string& space,
                            const std::string& more = {}, int bits = 8)
{
    // qCompress puts four bytes of length before the zlib stream.
    return imageStream(pdf, qCompress(samples(image, components, bits), 6).mid(4), image.width(), image.height(),
                       "/ColorSpace " + space + " /BitsPerComponent " + std::to_string(bits) + " /Filter /FlateDecode "
                           + more);
}

QPDFObjectHandle jpegImage(QPDF& pdf, const QImage& image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return imageStream(pdf, buffer.data(), image.width(), image.height(),
                       "/ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode");
}

// One letter-sized page drawing `content` with /Im0 (and /Fm0 when given), then many lines of text,
// stored uncompressed as some writers leave them: every such file has something to gain.
void addPage(QPDF& pdf, const std::string& content, QPDFObjectHandle image, QPDFObjectHandle form = {},
             QPDFObjectHandle annotations = {})
{
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text += " BT /F1 9 Tf 72 " + std::to_string(700 - i % 60 * 10)
            + " Td (The words on this page stay words.) Tj ET";
    }
    QPDFObjectHandle page = QPDFObjectHandle::parse(
        &pdf,
        "<< /Type /Page /MediaBox [0 0 612 792] /Resources << /Font << /F1 << /Type /Font /Subtype "
        "/Type1 /BaseFont /Helvetica >> >> /XObject << >> >> >>");
    QPDFObjectHandle xobjects = page.getKey("/Resources").getKey("/XObject");
    xobjects.replaceKey("/Im0", image);
    if (form.isInitialized()) {
        xobjects.replaceKey("/Fm0", form);
    }
    if (annotations.isInitialized()) {
        page.replaceKey("/Annots", annotations);
    }
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content + text));
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
}

QString save(QPDF& pdf, const QString& path)
{
    const QByteArray name = QFile::encodeName(path); // qpdf keeps the pointer, not a copy
    QPDFWriter writer(pdf, name.constData());
    writer.setCompressStreams(false);
    writer.setDecodeLevel(qpdf_dl_none);
    writer.write();
    return path;
}

// Drawn at 144 by 108 points: at 0.7 pixels per point, a picture of 101 by 76 pixels is enough.
const std::string drawnSmall = "q 144 0 0 108 72 500 cm /Im0 Do Q";

QPDFObjectHandle form(QPDF& pdf, const std::string& content, QPDFObjectHandle image, const std::string& matrix)
{
    QPDFObjectHandle form = QPDFObjectHandle::newStream(&pdf, content);
    form.replaceDict(QPDFObjectHandle::parse(&pdf,
                                             "<< /Type /XObject /Subtype /Form /BBox [0 0 612 792] /Matrix " + matrix
                                                 + " /Resources << /XObject << >> >> >>"));
    form.getDict().getKey("/Resources").getKey("/XObject").replaceKey("/Im0", image);
    return form;
}

// Every picture of a PDF's first page, forms included: width and filter.
QList<QPair<long long, std::string>> picturesOf(const QString& path)
{
    QPDF pdf;
    pdf.processFile(QFile::encodeName(path).constData());
    QList<QPair<long long, std::string>> pictures;
    QPDFPageDocumentHelper(pdf).getAllPages().front().forEachImage(
        true, [&](QPDFObjectHandle& image, QPDFObjectHandle&, const std::string&) {
            QPDFObjectHandle filter = image.getDict().getKey("/Filter");
            pictures.append({image.getDict().getKey("/Width").getIntValue(), filter.isName() ? filter.getName() : ""});
        });
    return pictures;
}

} // namespace

class TestNativeOps : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_mixed; // five pages: sizes, a rotated page, a box away from 0, 0, and links

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // The mixed PDF behind a password.
    QString locked() const
    {
        const QString locked = path(u"locked.pdf"_s);
        if (!QFile::exists(locked)) {
            TestFiles::runTool(u"qpdf"_s, {u"--encrypt"_s, u"user"_s, u"owner"_s, u"256"_s, u"--"_s, m_mixed, locked});
        }
        return locked;
    }

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

    void aFullDiskFailsEveryPdfJob()
    {
        const QString thick = TestPdf::write(path(u"thick.pdf"_s), 400);
        QList<int> every(400);
        std::iota(every.begin(), every.end(), 0);
        const QString disk = path(u"small-disk"_s);
        const SmallDisk small(disk, 16);
        if (!small.mounted()) {
            QSKIP("a full disk needs a small file system, and only root may mount one here");
        }
        QDir(disk).mkdir(u"pages"_s);
        // Filled to the last block, as a disk is when a job runs out of room part-way.
        QFile filler(disk + u"/filler"_s);
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(512, 'x')) == 512 && filler.flush()) { }
        filler.close();
        const QList<std::optional<QString>> failures{failure(NativeOps::pdfExtract(thick, every, disk + u"/x.pdf"_s)),
                                                     failure(NativeOps::pagesToImages(thick, disk + u"/pages"_s)),
                                                     failure(NativeOps::shrink(thick, disk + u"/s.pdf"_s))};
        QCOMPARE(failures, QList<std::optional<QString>>(3, NoReplace::diskFullText));
        QCOMPARE(QDir(disk).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{u"filler"_s, u"pages"_s})); // no PDF, whole or cut
    }

    void copyNeverReplaces()
    {
        const QString from = TestFiles::write(path(u"copy/a.txt"_s), "new");
        const QString to = TestFiles::write(path(u"copy/b.txt"_s), "old");
        QCOMPARE(failure(NativeOps::copy(from, to)), qt_error_string(EEXIST));
        QCOMPARE(TestFiles::read(to), QByteArray("old"));
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
        const QStringList items{u"inner/b.txt"_s, u"link"_s, u"inner"_s, QString()};
        for (const QString& item : items) {
            ageItem(path(u"tree/src/"_s + item));
        }
        QCOMPARE(failure(NativeOps::copy(path(u"tree/src"_s), path(u"tree/copy"_s))), std::nullopt);
        // A copy is the same document: it keeps the original's times, as a file manager's copy does. (Checked
        // before anything reads the copy and moves its access time.)
        for (const QString& item : items) {
            QVERIFY2(isAged(path(u"tree/copy/"_s + item)), qPrintable(item));
        }
        QVERIFY(TestFiles::read(path(u"tree/copy/inner/b.txt"_s)) == TestFiles::read(path(u"tree/src/inner/b.txt"_s)));
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
        QCOMPARE(facts(dest),
                 (PdfFacts{{{100, 200, 300, 400}, {0, 0, 612, 792}, {0, 0, 612, 792}}, {0, 90, 0}, {1, 0, 1}}));
        QCOMPARE(pdfText(dest), u"Page 4 Page 3 Page 1"_s);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("job");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("message");
        const QString notOpened = u"The PDF could not be opened."_s;
        for (const QString& job : {u"extract"_s, u"shrink"_s}) {
            const QByteArray name = job.toLatin1();
            QTest::addRow("%s: not a PDF", name.constData()) << job << u"text"_s << notOpened;
            QTest::addRow("%s: password", name.constData()) << job << u"locked"_s << notOpened;
            QTest::addRow("%s: destination taken", name.constData())
                << job << u"mixed"_s
                << (job == u"extract"_s ? u"The new PDF could not be saved."_s
                                        : u"The new PDF could not be created."_s);
        }
        QTest::newRow("extract: no page exists")
            << u"extract"_s << u"mixed"_s << u"None of those pages exist in this PDF."_s;
        QTest::newRow("shrink: no pages") << u"shrink"_s << u"empty"_s << notOpened;
    }

    // Nothing is written, and a file already under the new name is left as it was.
    void refusals()
    {
        QFETCH(QString, job);
        QFETCH(QString, source);
        QFETCH(QString, message);
        const QString tag = QString::fromUtf8(QTest::currentDataTag());
        TestFiles::write(path(u"text.pdf"_s), "just some words\n");
        TestPdf::write(path(u"empty.pdf"_s), 0);
        locked();
        const QString src = source == u"mixed"_s ? m_mixed : path(source + u".pdf"_s);
        const QString dest = path(u"refused "_s + QString(tag).replace(u':', u'-') + u".pdf"_s);
        const bool taken = tag.endsWith(u"destination taken"_s);
        if (taken) {
            TestFiles::write(dest, "mine");
        }
        const QList<int> pages = tag.endsWith(u"no page exists"_s) ? QList<int>{5, 9} : QList<int>{0};
        QCOMPARE(failure(job == u"shrink"_s ? NativeOps::shrink(src, dest) : NativeOps::pdfExtract(src, pages, dest)),
                 message);
        QCOMPARE(TestFiles::read(dest), taken ? QByteArray("mine") : QByteArray());
    }

    void damagedFilesAreRepaired()
    {
        const QString broken = TestPdf::write(path(u"broken.pdf"_s), {{}, {}, {}}, true);
        QCOMPARE(failure(NativeOps::pdfExtract(broken, {2}, path(u"repaired.pdf"_s))), std::nullopt);
        QCOMPARE(pdfText(path(u"repaired.pdf"_s)), u"Page 3"_s);
        // Cut off before the cross-reference table and trailer: beyond qpdf's repair, within the renderer's.
        QPDF pdf;
        pdf.emptyPDF();
        for (int i = 0; i < 3; ++i) {
            addPage(pdf, drawnSmall, flateImage(pdf, photo(60, 45), 3, "/DeviceRGB"));
        }
        const QByteArray bytes = TestFiles::read(save(pdf, path(u"whole.pdf"_s)));
        TestFiles::write(path(u"cut.pdf"_s), bytes.left(bytes.indexOf("xref")));
        QCOMPARE(failure(NativeOps::pdfMerge({path(u"cut.pdf"_s)}, path(u"cut-merged.pdf"_s))),
                 u"“cut.pdf” could not be opened as a PDF."_s);
        QCOMPARE(failure(NativeOps::shrink(path(u"cut.pdf"_s), path(u"cut-small.pdf"_s))), std::nullopt);
        QCOMPARE(facts(path(u"cut-small.pdf"_s)).boxes.size(), 3);
        QCOMPARE(pdfText(path(u"cut-small.pdf"_s)), pdfText(path(u"whole.pdf"_s)));
    }

    // Every PDF job refuses a page tree that holds itself or lists a page more often than any document has
    // pages, quickly and without copying it, and leaves nothing.
    void hostilePageTreesAreNotOpened_data()
    {
        QTest::addColumn<QByteArray>("kids");
        QTest::newRow("holds itself") << QByteArray("2 0 R 3 0 R");
        QTest::newRow("one page listed 150000 times") << QByteArray("3 0 R ").repeated(150000);
    }

    void hostilePageTreesAreNotOpened()
    {
        QFETCH(QByteArray, kids);
        const QString dir = path(u"hostile-"_s + QString::fromUtf8(QTest::currentDataTag()));
        const QString src = hostilePdf(dir + u"/in.pdf"_s, kids);
        QVERIFY(QDir(dir).mkdir(u"pages"_s));
        const QString notOpened = u"The PDF could not be opened."_s;
        QCOMPARE(failure(NativeOps::pdfExtract(src, {0}, dir + u"/x.pdf"_s)), notOpened);
        QCOMPARE(failure(NativeOps::pdfMerge({m_mixed, src}, dir + u"/m.pdf"_s)),
                 u"“in.pdf” could not be opened as a PDF."_s);
        QCOMPARE(failure(NativeOps::shrink(src, dir + u"/s.pdf"_s)), notOpened);
        QCOMPARE(failure(NativeOps::pagesToImages(src, dir + u"/pages"_s)), notOpened);
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{u"in.pdf"_s, u"pages"_s}));
        QVERIFY(QDir(dir + u"/pages"_s).isEmpty());
    }

    void mergeKeepsSourceOrder()
    {
        const QString a = TestPdf::write(path(u"two.pdf"_s), 2);
        const QString b = TestPdf::write(path(u"three.pdf"_s), 3);
        QCOMPARE(failure(NativeOps::pdfMerge({b, a, m_mixed}, path(u"merged.pdf"_s))), std::nullopt);
        QCOMPARE(facts(path(u"merged.pdf"_s)).rotations, (QList<int>{0, 0, 0, 0, 0, 0, 0, 90, 0, 0}));
        QVERIFY(pdfText(path(u"merged.pdf"_s)).startsWith(u"Page 1 Page 2 Page 3 Page 1 Page 2 Page 1"_s));

        QCOMPARE(failure(NativeOps::pdfMerge({a, a}, path(u"twice.pdf"_s))), std::nullopt);
        QCOMPARE(pdfText(path(u"twice.pdf"_s)), u"Page 1 Page 2 Page 1 Page 2"_s);

        const QString notPdf = TestFiles::write(path(u"notes “draft”.pdf"_s), "hello");
        QCOMPARE(failure(NativeOps::pdfMerge({a, notPdf}, path(u"merged2.pdf"_s))),
                 u"“notes “draft”.pdf” could not be opened as a PDF."_s);
        QVERIFY(!QFile::exists(path(u"merged2.pdf"_s)));
    }

    void shrinkKeepsPagesAsTheyAre()
    {
        const QString dest = path(u"small.pdf"_s);
        QCOMPARE(failure(NativeOps::shrink(m_mixed, dest)), std::nullopt);
        QCOMPARE(facts(dest), facts(m_mixed));
        QCOMPARE(pdfText(dest), pdfText(m_mixed));
        // A second round has nothing left to gain, and writes nothing.
        QCOMPARE(failure(NativeOps::shrink(dest, path(u"smaller still.pdf"_s))),
                 u"This PDF is already about as small as it can be."_s);
        QVERIFY(!QFile::exists(path(u"smaller still.pdf"_s)));
        QCOMPARE(
            QDir(m_dir.path()).entryList(QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot).filter(u".trellick"_s),
            QStringList());
    }

    void shrinkScalesPictures_data()
    {
        QTest::addColumn<long long>("width"); // of the first picture of the copy's first page
        QTest::addColumn<QString>("filter");
        QTest::newRow("CMYK") << 600LL << u"/FlateDecode"_s;
        QTest::newRow("decode array") << 600LL << u"/FlateDecode"_s;
        QTest::newRow("also drawn by an annotation") << 600LL << u"/FlateDecode"_s;
        QTest::newRow("a form that draws itself") << 600LL << u"/FlateDecode"_s;
        QTest::newRow("claims a billion pixels") << 40000LL << u"/FlateDecode"_s;
        QTest::newRow("photo") << 101LL << u"/DCTDecode"_s;
        QTest::newRow("JPEG photo") << 101LL << u"/DCTDecode"_s;
        QTest::newRow("grey photo, ICC based") << 101LL << u"/DCTDecode"_s;
        QTest::newRow("line art") << 101LL << u"/FlateDecode"_s;
        QTest::newRow("one bit a pixel") << 101LL << u"/FlateDecode"_s;
        QTest::newRow("inside a form drawn at half size") << 101LL << u"/DCTDecode"_s;
        QTest::newRow("largest of two uses") << 202LL << u"/DCTDecode"_s;
        QTest::newRow("photo already at its size") << 600LL << u"/DCTDecode"_s;
        QTest::newRow("with a soft mask") << 101LL << u"/DCTDecode"_s;
    }

    void shrinkScalesPictures()
    {
        QFETCH(long long, width);
        QFETCH(QString, filter);
        const QString name = QString::fromUtf8(QTest::currentDataTag());
        QPDF pdf;
        pdf.emptyPDF();
        const bool diagram = name == u"line art"_s || name == u"one bit a pixel"_s;
        const QImage picture = diagram ? lineArt(600, 450) : photo(600, 450);
        QPDFObjectHandle image = flateImage(pdf, picture, 3, "/DeviceRGB");
        std::string content = drawnSmall;
        QPDFObjectHandle drawnForm;
        QPDFObjectHandle annotations;
        if (name == u"CMYK"_s) {
            image = flateImage(pdf, picture, 4, "/DeviceCMYK");
        } else if (name == u"decode array"_s) {
            image = flateImage(pdf, picture, 3, "/DeviceRGB", "/Decode [1 0 1 0 1 0]");
        } else if (name == u"also drawn by an annotation"_s) {
            QPDFObjectHandle appearance = form(pdf, "q 600 0 0 450 0 0 cm /Im0 Do Q", image, "[1 0 0 1 0 0]");
            annotations = QPDFObjectHandle::parse(&pdf,
                                                  "[<< /Type /Annot /Subtype /Stamp /Rect [0 0 600 450] /AP << /N "
                                                      + appearance.unparse() + " >> >>]");
        } else if (name == u"a form that draws itself"_s) {
            drawnForm = form(pdf, "/Fm0 Do", image, "[1 0 0 1 0 0]");
            drawnForm.getDict().getKey("/Resources").getKey("/XObject").replaceKey("/Fm0", drawnForm);
            content += " /Fm0 Do";
        } else if (name == u"claims a billion pixels"_s) {
            image = imageStream(pdf, qCompress(QByteArray(100000, '\0')).mid(4), 40000, 40000,
                                "/ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode");
        } else if (name == u"JPEG photo"_s) {
            image = jpegImage(pdf, picture);
        } else if (name == u"grey photo, ICC based"_s) {
            QPDFObjectHandle profile = QPDFObjectHandle::newStream(&pdf, "a profile");
            profile.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(1));
            image = flateImage(pdf, picture, 1, "[/ICCBased " + profile.unparse() + "]");
        } else if (name == u"one bit a pixel"_s) {
            image = flateImage(pdf, picture, 1, "/DeviceGray", {}, 1);
        } else if (name == u"inside a form drawn at half size"_s) {
            drawnForm = form(pdf, "q 288 0 0 216 144 1000 cm /Im0 Do Q", image, "[0.5 0 0 0.5 0 0]");
            content = "/Fm0 Do";
        } else if (name == u"largest of two uses"_s) {
            content += " q 288 0 0 216 72 100 cm /Im0 Do Q";
        } else if (name == u"with a soft mask"_s) {
            QPDFObjectHandle mask = flateImage(pdf, photo(600, 450), 1, "/DeviceGray");
            image = flateImage(pdf, picture, 3, "/DeviceRGB", "/SMask " + mask.unparse());
        } else if (name == u"photo already at its size"_s) {
            content = "q 857 0 0 643 0 0 cm /Im0 Do Q"; // 0.7 pixels per point
        }
        addPage(pdf, content, image, drawnForm, annotations);
        QVERIFY(QDir().mkpath(path(u"pictures"_s)));
        const QString src = save(pdf, path(u"pictures/"_s + name + u".pdf"_s));
        const QString dest = path(u"pictures/"_s + name + u" (smaller).pdf"_s);
        QCOMPARE(failure(NativeOps::shrink(src, dest)), std::nullopt);
        const QList<QPair<long long, std::string>> pictures = picturesOf(dest);
        QVERIFY(!pictures.isEmpty());
        QCOMPARE(pictures.first().first, width);
        QCOMPARE(QString::fromStdString(pictures.first().second), filter);
        QCOMPARE(pdfText(dest), pdfText(src));
        if (name == u"with a soft mask"_s) {
            // Scaled with its picture, and free of JPEG's blocks at its soft edges.
            QPDF copy;
            copy.processFile(QFile::encodeName(dest).constData());
            QPDFObjectHandle alpha
                = QPDFPageDocumentHelper(copy).getAllPages().front().getImages().at("/Im0").getDict().getKey("/SMask");
            QCOMPARE(alpha.getDict().getKey("/Width").getIntValue(), 101);
            QCOMPARE(alpha.getDict().getKey("/Height").getIntValue(), 76);
            QCOMPARE(alpha.getDict().getKey("/Filter").getName(), std::string("/FlateDecode"));
        }
    }

    void shrinkRedrawsPicturePagesWhenThatIsSmaller_data()
    {
        QTest::addColumn<int>("components");
        QTest::addColumn<long long>("width"); // of the first page's picture
        QTest::newRow("RGB photos: scaled in place") << 3 << 417LL;
        QTest::newRow("CMYK photos: only redrawing helps") << 4 << 416LL;
    }

    void shrinkRedrawsPicturePagesWhenThatIsSmaller()
    {
        QFETCH(int, components);
        QFETCH(long long, width);
        QPDF pdf;
        pdf.emptyPDF();
        for (int i = 0; i < 2; ++i) {
            QPDFObjectHandle image
                = flateImage(pdf, photo(827, 1170), components, components == 3 ? "/DeviceRGB" : "/DeviceCMYK");
            QPDFObjectHandle page = QPDFObjectHandle::parse(
                &pdf, "<< /Type /Page /MediaBox [0 0 595 842] /Resources << /XObject << >> >> >>");
            page.getKey("/Resources").getKey("/XObject").replaceKey("/Im0", image);
            page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "q 595 0 0 842 0 0 cm /Im0 Do Q"));
            QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
        }
        const QString src = save(pdf, path(u"scan-%1.pdf"_s.arg(components)));
        const QString dest = path(u"scan-%1 (smaller).pdf"_s.arg(components));
        QCOMPARE(failure(NativeOps::shrink(src, dest)), std::nullopt);
        QVERIFY(QFileInfo(dest).size() * 10 < QFileInfo(src).size());
        QCOMPARE(facts(dest).boxes, (QList<QRectF>{{0, 0, 595, 842}, {0, 0, 595, 842}}));
        QCOMPARE(picturesOf(dest), (QList<QPair<long long, std::string>>{{width, "/DCTDecode"}}));
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
        QCOMPARE(TestFiles::read(dir + u"/page-2.png"_s), QByteArray("mine"));
        QVERIFY(QFile::exists(dir + u"/page-1.png"_s)); // written before the clash, and kept
        QVERIFY(!QFile::exists(dir + u"/page-3.png"_s));
        QCOMPARE(failure(NativeOps::pagesToImages(path(u"text.pdf"_s), dir)), u"The PDF could not be opened."_s);
    }
};

TRELLICK_TEST_MAIN(TestNativeOps)
#include "tst_nativeops.moc"
