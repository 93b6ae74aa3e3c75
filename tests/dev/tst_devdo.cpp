#include "FfmpegBuildServer.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TestPdf.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Every direct action, end to end: `trellick-dev do` loads real files into a real AppState, performs the
// action as the window would, runs the plan (installing ffmpeg from a local build server when needed)
// and leaves the new files beside the originals.
class TestDevDo : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FfmpegBuildServer> m_builds;

    QString path(const QString& name) const { return m_dir.path() + u'/' + name; }

    // Runs the developer tool with the test's environment; returns its exit status and output.
    QPair<int, QString> runDo(const QStringList& args)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(TRELLICK_DEV), QStringList{u"do"_s} + args);
        // The event loop must turn: the build server lives in this process.
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120000)) {
            process.kill();
            process.waitForFinished();
            return {-1, u"timed out\n"_s + QString::fromUtf8(process.readAll())};
        }
        return {process.exitCode(), QString::fromUtf8(process.readAll())};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_builds = std::make_unique<FfmpegBuildServer>();
        m_builds->serve();

        TestFiles::write(path(u"notes.txt"_s), "some notes\n");
        QImage picture(64, 48, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(path(u"cat.png"_s)));
        QVERIFY(TestFiles::runTool(
            u"/usr/bin/ffmpeg"_s,
            {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=d=2"_s, path(u"song.wav"_s)}));
        TestPdf::write(path(u"report.pdf"_s), 3);
        TestPdf::write(path(u"appendix.pdf"_s), 2);
        QDir().mkpath(path(u"box/inner"_s));
        TestFiles::write(path(u"box/inner/file.txt"_s), "inside\n");
        QVERIFY(TestFiles::runTool(u"/usr/bin/tar"_s,
                                   {u"-czf"_s, path(u"Backup.TAR.GZ"_s), u"-C"_s, m_dir.path(), u"box"_s}));
        QProcess zip;
        zip.setWorkingDirectory(m_dir.path());
        zip.start(u"/usr/bin/zip"_s, {u"-q"_s, u"-r"_s, u"bundle.zip"_s, u"box"_s});
        QVERIFY(zip.waitForFinished() && zip.exitCode() == 0);
    }

    void actions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("outputs");
        QTest::newRow("zip") << QStringList{u"zip"_s, u"notes.txt"_s} << QStringList{u"notes.zip"_s};
        QTest::newRow("extract tar") << QStringList{u"extract"_s, u"Backup.TAR.GZ"_s}
                                     << QStringList{u"Backup/box/inner/file.txt"_s};
        QTest::newRow("extract zip") << QStringList{u"extract"_s, u"bundle.zip"_s}
                                     << QStringList{u"bundle/box/inner/file.txt"_s};
        for (const QString& format : {u"jpg"_s, u"webp"_s}) {
            QTest::addRow("picture to %s", qPrintable(format))
                << QStringList{u"convertImage"_s, u"--format"_s, format, u"cat.png"_s}
                << QStringList{u"cat (converted)."_s + format};
        }
        for (const QString& format : {u"m4a"_s, u"mp3"_s}) {
            QTest::addRow("audio to %s", qPrintable(format))
                << QStringList{u"convertAudio"_s, u"--format"_s, format, u"song.wav"_s}
                << QStringList{u"song (converted)."_s + format};
        }
        QTest::newRow("rename, keeping a copy")
            << QStringList{u"rename"_s, u"--names"_s, u"memo.txt"_s, u"--keep-copy"_s, u"notes.txt"_s}
            << QStringList{u"memo.txt"_s, u"notes.txt"_s};
        QTest::newRow("extract pages") << QStringList{u"pdfExtract"_s, u"--pages"_s, u"3, 1"_s, u"report.pdf"_s}
                                       << QStringList{u"report (pages 3,1).pdf"_s};
        QTest::newRow("merge") << QStringList{u"pdfMerge"_s, u"appendix.pdf"_s, u"report.pdf"_s}
                               << QStringList{u"appendix (merged).pdf"_s};
        QTest::newRow("smaller") << QStringList{u"pdfSmaller"_s, u"report.pdf"_s}
                                 << QStringList{u"report (smaller).pdf"_s};
        QTest::newRow("pages to pictures")
            << QStringList{u"pdfImages"_s, u"report.pdf"_s}
            << QStringList{u"report (pages)/page-1.png"_s, u"report (pages)/page-3.png"_s};
    }

    void actions()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, outputs);
        QStringList absolute = args;
        const QString last = absolute.takeLast();
        absolute << path(last);
        if (args.first() == u"pdfMerge"_s) {
            absolute[absolute.size() - 2] = path(absolute[absolute.size() - 2]);
        }
        const auto [status, output] = runDo(absolute);
        QVERIFY2(status == 0, qPrintable(output));
        QVERIFY2(output.contains(u"Stage: finished"_s), qPrintable(output));
        for (const QString& name : outputs) {
            QVERIFY2(QFileInfo(path(name)).size() > 0, qPrintable(name + u'\n' + output));
        }
    }

    void realOutputsAreWhatTheyClaim()
    {
        // The pages really were taken, in the order typed, and the merge holds all pages.
        QProcess qpdf;
        qpdf.start(u"/usr/bin/qpdf"_s, {u"--show-npages"_s, path(u"report (pages 3,1).pdf"_s)});
        QVERIFY(qpdf.waitForFinished());
        QCOMPARE(qpdf.readAll().trimmed(), QByteArray("2"));
        qpdf.start(u"/usr/bin/qpdf"_s, {u"--show-npages"_s, path(u"appendix (merged).pdf"_s)});
        QVERIFY(qpdf.waitForFinished());
        QCOMPARE(qpdf.readAll().trimmed(), QByteArray("5"));
        QCOMPARE(QImage(path(u"cat (converted).jpg"_s)).size(), QSize(64, 48));
    }

    void renameMovesTheFile()
    {
        TestFiles::write(path(u"draft.txt"_s), "draft");
        const auto [status, output] = runDo({u"rename"_s, u"--names"_s, u"final.txt"_s, path(u"draft.txt"_s)});
        QCOMPARE(status, 0);
        QVERIFY(!QFileInfo::exists(path(u"draft.txt"_s)));
        QCOMPARE(TestFiles::read(path(u"final.txt"_s)), QByteArray("draft"));
        QVERIFY(output.contains(u"Warning: This changes the original file's name."_s));
    }

    void refusalsAreNotices()
    {
        const auto [status, output] = runDo({u"pdfExtract"_s, u"--pages"_s, u"3-5-7"_s, path(u"report.pdf"_s)});
        QCOMPARE(status, 1);
        QVERIFY2(output.contains(
                     u"Notice: I could not read “3-5-7”. Use page numbers like 1-3, 5 (this PDF has 3 pages)."_s),
                 qPrintable(output));
        const auto merge = runDo({u"pdfMerge"_s, path(u"report.pdf"_s)});
        QVERIFY(merge.second.contains(u"Notice: Pick at least two PDFs to merge."_s));
    }

    void immediateActionsPrintWhatTheyAsk()
    {
        const auto copied = runDo({u"copyPath"_s, path(u"notes.txt"_s), path(u"song.wav"_s)});
        QCOMPARE(copied.first, 0);
        QVERIFY(copied.second.contains(u"Clipboard: "_s + path(u"notes.txt"_s) + u'\n' + path(u"song.wav"_s)));
        QVERIFY(copied.second.contains(u"Notice: Path copied."_s));
        const auto info = runDo({u"info"_s, path(u"notes.txt"_s)});
        QVERIFY2(info.second.contains(u"Command: gio info "_s + path(u"notes.txt"_s)), qPrintable(info.second));
    }
};

TRELLICK_TEST_MAIN(TestDevDo)
#include "tst_devdo.moc"
