#include "SmallDisk.h"
#include "StandIns.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "ZipMaker.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using ZipMaker::Entry;

Q_DECLARE_METATYPE(QList<ZipMaker::Entry>)

class TestDitto : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString at(const QString& name) const { return m_dir.filePath(name); }

    // Everything below `folder`, relative and sorted, links marked.
    static QStringList tree(const QString& folder)
    {
        QStringList names;
        QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            const QString name = QDir(folder).relativeFilePath(info.filePath());
            names << (info.isSymLink() ? name + u" (link)"_s : name);
        }
        names.sort();
        return names;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void refusesHostileArchives_data()
    {
        QTest::addColumn<QList<Entry>>("entries");
        QTest::addColumn<QString>("words");

        using namespace ZipMaker;
        QTest::newRow("zip slip") << QList<Entry>{file("fine.txt"), file("../escaped.txt")} << u"leads outside"_s;
        QTest::newRow("slip in the middle") << QList<Entry>{file("a/../../escaped.txt")} << u"leads outside"_s;
        QTest::newRow("absolute name") << QList<Entry>{file(m_dir.filePath(u"escaped.txt"_s).toUtf8())}
                                       << u"absolute path"_s;
        QTest::newRow("link out") << QList<Entry>{softLink("l", "../escaped.txt")} << u"leads outside"_s;
        QTest::newRow("absolute link") << QList<Entry>{softLink("l", "/etc/passwd")} << u"leads outside"_s;
        QTest::newRow("link to the folder's parent through a link to itself")
            << QList<Entry>{softLink("self", "."), softLink("up", "self/..")} << u"leads outside"_s;
        QTest::newRow("chain of links") << QList<Entry>{folder("x/y/"), softLink("x/y/up", "../.."),
                                                        softLink("out", "x/y/up/..")}
                                        << u"leads outside"_s;
        QTest::newRow("written through an earlier link")
            << QList<Entry>{softLink("l", ".."), file("l/escaped.txt")} << u"written through the link"_s;
        QTest::newRow("written through a harmless link")
            << QList<Entry>{folder("sub/"), softLink("l", "sub"), file("l/x.txt")} << u"written through the link"_s;
        QTest::newRow("link placed over a written folder")
            << QList<Entry>{file("sub/x.txt"), softLink("sub", "..")} << u"written through the link"_s;
        QTest::newRow("links in a circle") << QList<Entry>{softLink("a", "b"), softLink("b", "a")} << u"circles"_s;
        QTest::newRow("character device") << QList<Entry>{Entry{"tty", {}, 020644}} << u"device"_s;
        QByteArrayList deep(300, "d");
        QTest::newRow("too deep") << QList<Entry>{file(deep.join('/') + "/x.txt")} << u"nested too deeply"_s;
    }

    void refusesHostileArchives()
    {
        QFETCH(QList<Entry>, entries);
        QFETCH(QString, words);
        const QString zip = at(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-') + u".zip"_s);
        QVERIFY(ZipMaker::write(zip, entries));
        const QString dest = at(u"out/"_s + QFileInfo(zip).baseName());

        const ProcResult r = StandIns::run(u"ditto"_s, {u"-x"_s, u"-k"_s, zip, dest});
        QVERIFY2(StandIns::refused(r, u"ditto: "_s, words), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(dest)); // refused before anything was written
        QVERIFY(!QFileInfo::exists(at(u"escaped.txt"_s)));
        QVERIFY(!QFileInfo::exists(at(u"out/escaped.txt"_s)));
    }

    void tarArchivesGivePlainFiles()
    {
        // Another user's files, set-uid and sticky: unpacked (even by root) as the unpacking user's plain files.
        TestFiles::write(at(u"owned/box/tool"_s), "#!/bin/sh\n");
        const QString tar = at(u"owned.tar.gz"_s);
        QVERIFY(TestFiles::runTool(u"/usr/bin/tar"_s,
                                   {u"--owner=4321"_s, u"--group=4321"_s, u"--mode=u+s,g+s,+t"_s, u"-czf"_s, tar,
                                    u"-C"_s, at(u"owned"_s), u"box"_s}));
        const QString dest = at(u"owned-out"_s);
        const ProcResult r = StandIns::run(u"ditto"_s, {u"-x"_s, tar, dest});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        for (const QString& name : {u"box"_s, u"box/tool"_s}) {
            struct stat info
            {
            };
            QVERIFY(::lstat(QFile::encodeName(dest + u'/' + name).constData(), &info) == 0);
            QCOMPARE(info.st_uid, ::geteuid());
            QCOMPARE(info.st_mode & (S_ISUID | S_ISGID | S_ISVTX), 0U);
        }
        QCOMPARE(TestFiles::read(dest + u"/box/tool"_s), QByteArray("#!/bin/sh\n"));
    }

    void aFullDiskFailsAndLeavesNothing()
    {
        // Zeros pack small: 4 MB in the archive, 1 MB of room on the disk.
        TestFiles::write(at(u"zeros/big.bin"_s), QByteArray(4 << 20, '\0'));
        const QString zip = at(u"zeros.zip"_s);
        QVERIFY(TestFiles::runTool(u"/bin/sh"_s,
                                   {u"-c"_s, u"cd '"_s + at(u"zeros"_s) + u"' && zip -q ../zeros.zip big.bin"_s}));
        const QString disk = at(u"small-disk"_s);
        const SmallDisk small(disk, 1024);
        if (!small.mounted()) {
            QSKIP("a full disk needs a small file system, and only root may mount one here");
        }
        const ProcResult r = StandIns::run(u"ditto"_s, {u"-x"_s, u"-k"_s, zip, disk + u"/zeros"_s});
        QVERIFY2(StandIns::refused(r, u"ditto: "_s, u"No space left on device"_s), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(disk + u"/zeros"_s));
    }

    void refusesOtherInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("words");
        const QString fake = TestFiles::write(at(u"fake.zip"_s), "just text");
        QTest::newRow("copying") << QStringList{u"a"_s, u"b"_s} << u"ditto -x -k"_s;
        QTest::newRow("creating an archive") << QStringList{u"-c"_s, u"-k"_s, u"a"_s, u"b.zip"_s} << u"ditto -x -k"_s;
        QTest::newRow("no destination") << QStringList{u"-x"_s, u"-k"_s, u"a.zip"_s} << u"ditto -x -k"_s;
        QTest::newRow("not a zip") << QStringList{u"-x"_s, u"-k"_s, fake, at(u"fake"_s)} << u"Invalid data found"_s;
        QTest::newRow("missing") << QStringList{u"-x"_s, u"-k"_s, at(u"missing.zip"_s), at(u"fake"_s)}
                                 << u"No such file"_s;
    }

    void refusesOtherInput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, words);
        const ProcResult r = StandIns::run(u"ditto"_s, args);
        QVERIFY2(StandIns::refused(r, u"ditto: "_s, words), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(at(u"fake"_s)));
    }

    void unpacksNestedFoldersMadeByZip()
    {
        const QString source = at(u"nested"_s);
        TestFiles::write(source + u"/top.txt"_s, "top");
        TestFiles::write(source + u"/a/b/c/deep.txt"_s, "deep");
        TestFiles::write(source + u"/a/b/Grüße.txt"_s, "unicode");
        QDir(source).mkpath(u"empty"_s);
        QFile::link(u"a/b/c/deep.txt"_s, source + u"/shortcut"_s);
        const QString zip = at(u"nested.zip"_s);
        QVERIFY(
            TestFiles::runTool(u"/bin/sh"_s, {u"-c"_s, u"cd '"_s + source + u"' && zip -q -r -y ../nested.zip ."_s}));
        const QString listing = StandIns::output(u"unzip"_s, {u"-l"_s, zip});
        QVERIFY(listing.contains(u"a/b/c/deep.txt"_s));

        // The folder is made, parents included, when it is missing.
        const QString dest = at(u"unpacked/here"_s);
        const ProcResult r = StandIns::run(u"ditto"_s, {u"-x"_s, u"-k"_s, zip, dest});
        QVERIFY2(r.status == 0 && r.err.isEmpty(), qPrintable(r.err));
        QCOMPARE(tree(dest), tree(source));
        // Through the link, to the unpacked file.
        QCOMPARE(TestFiles::read(dest + u"/shortcut"_s), QByteArray("deep"));
    }

    void unpacksIntoAnExistingEmptyFolderAndSkipsForkData()
    {
        const QString zip = at(u"forks.zip"_s);
        QVERIFY(ZipMaker::write(zip, {ZipMaker::file("song.txt"), ZipMaker::file("__MACOSX/._song.txt")}));
        const QString dest = at(u"existing"_s);
        QVERIFY(QDir().mkpath(dest));
        const ProcResult r = StandIns::run(u"ditto"_s, {u"-x"_s, u"-k"_s, zip, dest});
        QCOMPARE(r.status, 0);
        QCOMPARE(tree(dest), QStringList{u"song.txt"_s});
    }

    // Folders 255 levels deep, their path twice as long as the system takes at once, unpack whole.
    void unpacksDeepTrees()
    {
        const QByteArrayList deep(255, QByteArray(30, 'f'));
        const QString zip = at(u"deep.zip"_s);
        QVERIFY(ZipMaker::write(zip,
                                {ZipMaker::file(deep.join('/') + "/bottom.txt"),
                                 ZipMaker::file(deep.mid(0, 100).join('/') + "/middle.txt"),
                                 ZipMaker::softLink(deep.mid(0, 2).join('/') + "/link", "f")}));
        const QString dest = at(u"deep"_s);
        const ProcResult r = StandIns::run(u"ditto"_s, {u"-x"_s, u"-k"_s, zip, dest});
        QCOMPARE(r.err, QString());
        QCOMPARE(StandIns::output(u"find"_s, {dest, u"-type"_s, u"f"_s}).count(u".txt"_s), 2);
    }

    void damagedEntryLeavesNothingBehind()
    {
        const QString zip = at(u"damaged.zip"_s);
        // Deep enough that removing what was made must go folder by folder.
        QVERIFY(ZipMaker::write(
            zip,
            {ZipMaker::file(QByteArrayList(200, QByteArray(30, 'f')).join('/') + "/first.txt", QByteArray(1000, 'A')),
             ZipMaker::file("two/second.txt", QByteArray(1000, 'B'))}));
        QFile file(zip);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        bytes[bytes.indexOf(QByteArray(1000, 'B')) + 10] = 'C'; // the checksum no longer matches
        file.seek(0);
        file.write(bytes);
        file.close();

        const QString dest = at(u"damaged"_s);
        QVERIFY(QDir().mkpath(dest + u"/mine"_s));
        const ProcResult r = StandIns::run(u"ditto"_s, {u"-x"_s, u"-k"_s, zip, dest});
        QVERIFY2(StandIns::refused(r, u"ditto: "_s, u"Invalid data found"_s), qPrintable(r.err));
        QCOMPARE(tree(dest), QStringList{u"mine"_s}); // what was there before stays
    }

    void keepsLinksThatStayInside()
    {
        const QString zip = at(u"links.zip"_s);
        QVERIFY(
            ZipMaker::write(zip,
                            {ZipMaker::folder("docs/"), ZipMaker::file("docs/a.txt", "a"),
                             ZipMaker::softLink("docs/current", "a.txt"), ZipMaker::softLink("up", "docs/../docs")}));
        const QString dest = at(u"links"_s);
        const ProcResult r = StandIns::run(u"ditto"_s, {u"-x"_s, u"-k"_s, zip, dest});
        QCOMPARE(r.err, QString());
        QVERIFY(QFileInfo(dest + u"/docs/current"_s).isSymLink());
        QCOMPARE(TestFiles::read(dest + u"/docs/current"_s), QByteArray("a"));
    }

    void neverFollowsALinkAlreadyInTheDestination()
    {
        const QString outside = at(u"outside"_s);
        QVERIFY(QDir().mkpath(outside));
        const QString dest = at(u"trap"_s);
        QVERIFY(QDir().mkpath(dest));
        QVERIFY(QFile::link(outside, dest + u"/evil"_s));
        const QString zip = at(u"trap.zip"_s);
        QVERIFY(ZipMaker::write(zip, {ZipMaker::file("evil/planted.txt")}));
        const ProcResult r = StandIns::run(u"ditto"_s, {u"-x"_s, u"-k"_s, zip, dest});
        QVERIFY(r.status != 0);
        QVERIFY(!QFileInfo::exists(outside + u"/planted.txt"_s));
    }
};

TRELLICK_TEST_MAIN(TestDitto)
#include "tst_ditto.moc"
