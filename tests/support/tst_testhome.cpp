#include "TestMain.h"
#include "base/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

// Every test program starts like this one: if these fail, running a test would reach the user's own files.
class TestTestHome : public QObject
{
    Q_OBJECT

    static bool inside(const QString& path, const QString& folder)
    {
        return QDir::cleanPath(path).startsWith(QDir::cleanPath(folder) + u'/');
    }

private slots:
    void homeIsNotTheAccountsHome()
    {
        QVERIFY(!TestHome::accountHome().isEmpty());
        QVERIFY(QDir(QDir::homePath()) != QDir(TestHome::accountHome()));
        QVERIFY(inside(QDir::homePath(), QDir::tempPath()));
        QVERIFY(QFileInfo(QDir::homePath()).isDir());
    }

    void everyWritableFolderIsInsideTheHome_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("data") << QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QTest::newRow("config") << QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QTest::newRow("cache") << QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
        QTest::newRow("runtime") << QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        QTest::newRow("state") << qEnvironmentVariable("XDG_STATE_HOME");
        QTest::newRow("settings") << QSettings(u"Trellick"_s, u"Trellick"_s).fileName();
        QTest::newRow("support folder") << AppPaths::supportDir();
    }

    void everyWritableFolderIsInsideTheHome()
    {
        QFETCH(QString, path);
        QVERIFY2(inside(path, QDir::homePath()), qPrintable(path));
    }

    void runtimeFolderIsPrivate()
    {
        const QFileInfo runtime(qEnvironmentVariable("XDG_RUNTIME_DIR"));
        QVERIFY(runtime.permissions().testFlags(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(!(runtime.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup)));
        QVERIFY(!(runtime.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther)));
    }

    void noDisplayAndNoSessionBus()
    {
        QCOMPARE(qgetenv("QT_QPA_PLATFORM"), "offscreen"_ba);
        QVERIFY(qEnvironmentVariableIsEmpty("DISPLAY"));
        QVERIFY(qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
        const QString bus = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QVERIFY(bus.startsWith(u"unix:path="_s));
        QVERIFY(inside(bus.mid(10), QDir::homePath()));
        QVERIFY(!QFileInfo::exists(bus.mid(10)));
    }

    void childProcessesInheritTheHome()
    {
        QProcess shell;
        shell.start(u"/bin/sh"_s, {u"-c"_s, u"printf %s \"$HOME:$XDG_DATA_HOME\""_s});
        QVERIFY(shell.waitForFinished());
        QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()),
                 QDir::homePath() + u':' + QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    }
};

TRELLICK_TEST_MAIN(TestTestHome)
#include "tst_testhome.moc"
