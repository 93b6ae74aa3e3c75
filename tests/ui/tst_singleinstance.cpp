#include "TableCheck.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "platform/SingleInstance.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Runs on a private session bus: the first instance is this test, the second the real program.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void localPaths_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("expected");
        const QString here = QDir::currentPath();
        QTest::newRow("relative path") << u"clip.mp4"_s << QStringList{here + u"/clip.mp4"_s};
        QTest::newRow("dot segments") << u"a/../b.pdf"_s << QStringList{here + u"/b.pdf"_s};
        QTest::newRow("absolute path") << u"/tmp/x y.wav"_s << QStringList{u"/tmp/x y.wav"_s};
        QTest::newRow("file address") << u"file:///tmp/x%20y.wav"_s << QStringList{u"/tmp/x y.wav"_s};
        QTest::newRow("localhost address") << u"file://localhost/tmp/a.png"_s << QStringList{u"/tmp/a.png"_s};
        QTest::newRow("another host") << u"file://server/share/a.png"_s << QStringList{};
        QTest::newRow("web address") << u"https://example.com/a.png"_s << QStringList{};
        QTest::newRow("empty") << QString() << QStringList{};
    }

    void localPaths()
    {
        checkRow<QString, QStringList>([](const QString& argument) { return SingleInstance::localPaths({argument}); });
    }

    void secondStartHandsOverItsFiles_data()
    {
        QTest::addColumn<bool>("withFile");
        QTest::newRow("a file, as Open With gives it") << true;
        QTest::newRow("nothing, as the menu entry starts it") << false;
    }

    void secondStartHandsOverItsFiles()
    {
        QFETCH(bool, withFile);
        SingleInstance first;
        QVERIFY(first.claim({}));
        QSignalSpy opened(&first, &SingleInstance::openRequested);

        QTemporaryDir dir;
        const QString file = TestFiles::write(dir.filePath(u"notes ü.txt"_s));

        QProcess second;
        second.setWorkingDirectory(dir.path());
        second.start(QCoreApplication::applicationDirPath() + u"/trellick"_s,
                     withFile ? QStringList{u"notes ü.txt"_s} : QStringList{});
        QVERIFY(opened.wait(20000));
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(opened.at(0).at(0).toStringList(), withFile ? QStringList{file} : QStringList{});
    }
};

TRELLICK_TEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
