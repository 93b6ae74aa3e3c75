#include "TableCheck.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestFFmpegTools : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_path;

    // Both tools in `folder`: "debian" links Debian's, "silent" are programs that fail -version, "not
    // executable" are files without the right to run, "ffmpeg only" lacks ffprobe, "none" leaves it empty.
    static void fill(const QString& folder, const QString& kind)
    {
        QDir().mkpath(folder);
        for (const QString& tool : {u"ffmpeg"_s, u"ffprobe"_s}) {
            const QString path = folder + u'/' + tool;
            if (kind == u"debian" || (kind == u"ffmpeg only" && tool == u"ffmpeg")) {
                QVERIFY(QFile::link(u"/usr/bin/"_s + tool, path));
            } else if (kind == u"silent" || kind == u"not executable") {
                TestFiles::write(path, "#!/bin/sh\nexit 1\n");
                QVERIFY(QFile::setPermissions(
                    path, QFile::ReadOwner | (kind == u"silent" ? QFile::ExeOwner : QFile::ReadOwner)));
            }
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_path = qgetenv("PATH");
    }

    void cleanup()
    {
        qputenv("PATH", m_path);
        QDir(AppPaths::supportDir()).removeRecursively();
        QDir(m_dir.path()).removeRecursively();
    }

    void sourceOrder_data()
    {
        QTest::addColumn<QString>("own");
        QTest::addColumn<QString>("onPath");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("own copy before the system's") << u"debian"_s << u"debian"_s << u"own"_s;
        QTest::newRow("system copy used in place") << u"none"_s << u"debian"_s << u"system"_s;
        QTest::newRow("own copy without ffprobe") << u"ffmpeg only"_s << u"debian"_s << u"system"_s;
        QTest::newRow("own copy not executable") << u"not executable"_s << u"debian"_s << u"system"_s;
        QTest::newRow("system copy without ffprobe") << u"none"_s << u"ffmpeg only"_s << u"none"_s;
        QTest::newRow("system copy that does not answer") << u"none"_s << u"silent"_s << u"none"_s;
        QTest::newRow("neither") << u"none"_s << u"none"_s << u"none"_s;
    }

    void sourceOrder()
    {
        QFETCH(QString, own);
        QFETCH(QString, onPath);
        QFETCH(QString, chosen);
        fill(AppPaths::binDir(), own);
        const QString system = m_dir.path() + u"/path"_s;
        fill(system, onPath);
        qputenv("PATH", system.toUtf8());

        ToolCheck check;
        QSignalSpy finished(&check, &ToolCheck::finished);
        check.start();
        QVERIFY(finished.wait(30000));
        QVERIFY(!FFmpegTools::needsCheck());

        const std::optional<FFmpegPair> tools = FFmpegTools::chosen();
        QCOMPARE(tools ? (tools->fromSystem ? u"system"_s : u"own"_s) : u"none"_s, chosen);
        if (chosen == u"system") {
            QCOMPARE(tools->ffmpeg, system + u"/ffmpeg"_s);
            QCOMPARE(tools->ffprobe, system + u"/ffprobe"_s);
            QVERIFY(!FFmpegTools::shortVersion(FFmpegTools::version(tools->ffmpeg)).isEmpty());
        }
    }

    void systemCopyIsNotChosenBeforeItAnswered()
    {
        const QString system = m_dir.path() + u"/unchecked"_s;
        QDir().mkpath(system);
        // A program never run before: a file of its own, not a link to one already checked.
        for (const QString& tool : {u"ffmpeg"_s, u"ffprobe"_s}) {
            TestFiles::write(system + u'/' + tool, "#!/bin/sh\necho '" + tool.toUtf8() + " version 6.1.2 Copyright'\n");
            QVERIFY(QFile::setPermissions(system + u'/' + tool, QFile::ReadOwner | QFile::ExeOwner));
        }
        qputenv("PATH", system.toUtf8());
        QVERIFY(FFmpegTools::needsCheck());
        QVERIFY(!FFmpegTools::chosen());
        FFmpegTools::checkNow();
        QVERIFY(FFmpegTools::chosen());
        QCOMPARE(FFmpegTools::version(system + u"/ffmpeg"_s), u"6.1.2"_s);
        // Changed in place, as an upgrade would: checked again before it is used.
        TestFiles::write(system + u"/ffmpeg"_s, "#!/bin/sh\nexit 1\n# another build\n");
        QVERIFY(FFmpegTools::needsCheck());
        QVERIFY(!FFmpegTools::chosen());
    }

    void shortVersion_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Debian") << u"5.1.6-0+deb12u1"_s << u"5.1"_s;
        QTest::newRow("release build") << u"n7.1-1-g1234abcd"_s << u"7.1"_s;
        QTest::newRow("major only") << u"7-static"_s << u"7.0"_s;
        QTest::newRow("development build") << u"N-118000-g1234abcd"_s << QString();
        QTest::newRow("nothing read") << QString() << QString();
    }

    void shortVersion() { checkRow<QString, QString>(&FFmpegTools::shortVersion); }
};

TRELLICK_TEST_MAIN(TestFFmpegTools)
#include "tst_ffmpegtools.moc"
