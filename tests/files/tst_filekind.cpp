#include "TableCheck.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "files/Actions.h"
#include "files/FileKind.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// A few real bytes so that content sniffing has something to go on.
static const QByteArray wavHeader
    = QByteArray::fromHex("52494646240000005741564566"
                          "6d74201000000001000100401f0000803e0000020010006461746100000000");
static const QByteArray pngHeader = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452");
static const QByteArray pdfHeader = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
static const QByteArray zipHeader = QByteArray::fromHex("504b0304140000000000000000000000000000000000");

class TestFileKind : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString& name, const QByteArray& bytes = "x")
    {
        return TestFiles::write(m_dir.filePath(name), bytes);
    }

    QString folder(const QString& name)
    {
        QDir(m_dir.path()).mkpath(name);
        return m_dir.filePath(name);
    }

    static QStringList titles(const QList<FileAction>& actions)
    {
        QStringList list;
        for (const FileAction& a : actions) {
            list << a.title;
        }
        return list;
    }

private slots:
    void detect_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<FileKind>("expected");
        QTest::newRow("upper-case video extension") << file(u"movie.MOV"_s) << FileKind::video;
        QTest::newRow("extension wins over content") << file(u"song.mp3"_s, pngHeader) << FileKind::audio;
        QTest::newRow("folder named like a video") << folder(u"clip.mov"_s) << FileKind::folder;
        QTest::newRow("no extension, audio content") << file(u"recording"_s, wavHeader) << FileKind::audio;
        QTest::newRow("no extension, picture content") << file(u"scan"_s, pngHeader) << FileKind::image;
        QTest::newRow("no extension, zip content") << file(u"bundle"_s, zipHeader) << FileKind::archive;
        QTest::newRow("no extension, no known content")
            << file(u"blob"_s, QByteArray("\x0e\x0f\x10\x11\x12\x13\x14\x15")) << FileKind::other;
        QTest::newRow("empty file without extension") << file(u"empty"_s, {}) << FileKind::other;
        QTest::newRow("lone gz") << file(u"backup.gz"_s) << FileKind::archive;
        QTest::newRow("tar.gz") << file(u"backup.tar.gz"_s) << FileKind::archive;
        QTest::newRow("odd unicode name") << file(u"ﬁlm ☃ \u202e4pm.mkv"_s) << FileKind::video;
        QTest::newRow("missing path, known extension") << m_dir.filePath(u"gone.heic"_s) << FileKind::image;
        QTest::newRow("empty path") << QString() << FileKind::other;
    }

    void detect()
    {
        checkRow<QString, FileKind>([](const QString& path) { return FileKinds::detect(path); });
    }

    void extractable_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("expected");
        QTest::newRow("zip") << u"a.ZIP"_s << true;
        QTest::newRow("tar.xz") << u"a.Tar.Xz"_s << true;
        QTest::newRow("lone gz") << u"a.gz"_s << false;
        QTest::newRow("rar") << u"a.rar"_s << false;
        QTest::newRow("zip inside the name") << u"a.zip.txt"_s << false;
    }

    void extractable()
    {
        checkRow<QString, bool>([](const QString& name) { return FileKinds::isExtractable(u"/some/where/"_s + name); });
    }

    void forSelection_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("expected");
        const QStringList common{u"Rename"_s, u"Compress to .zip"_s, u"Show info"_s, u"Copy path"_s,
                                 u"Show in folder"_s};
        const QStringList multiCommon{u"Rename"_s, u"Compress to .zip"_s, u"Copy path"_s, u"Show in folder"_s};

        QTest::newRow("two jpegs") << QStringList{file(u"a.jpg"_s), file(u"b.jpg"_s)}
                                   << QStringList{u"Convert"_s} + multiCommon;
        QTest::newRow("jpeg and mp3") << QStringList{file(u"a.jpg"_s), file(u"c.mp3"_s)} << multiCommon;
        QTest::newRow("two videos") << QStringList{file(u"a.mp4"_s), file(u"b.mov"_s)} << multiCommon;
        QTest::newRow("one folder") << QStringList{folder(u"f"_s)} << common;
        QTest::newRow("two pdfs") << QStringList{file(u"a.pdf"_s), file(u"b.pdf"_s)}
                                  << QStringList{u"Merge"_s, u"Make smaller"_s, u"Pages to images"_s} + multiCommon;
        QTest::newRow("extractable archive") << QStringList{file(u"x.tar.gz"_s)} << QStringList{u"Extract"_s} + common;
        QTest::newRow("archive not extractable") << QStringList{file(u"x.gz"_s)} << common;
    }

    void forSelection()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, expected);
        const FileKind kind = FileKinds::detect(files);
        QCOMPARE(titles(Actions::forSelection(kind, files.size(), files)), expected);
    }
};

TRELLICK_TEST_MAIN(TestFileKind)
#include "tst_filekind.moc"
