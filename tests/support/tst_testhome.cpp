#include "TestMain.h"
#include "base/AppPaths.h"
#include "platform/AccountHome.h"

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
        // The account's home in the password database, whatever HOME says.
        QVERIFY(!AccountHome::path().isEmpty());
        QVERIFY(QDir(QDir::homePath()) != QDir(AccountHome::path()));
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
        // Mode 0700; the "user" bits describe the test's own access and are left out.
        const auto userBits = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
        QCOMPARE(QFileInfo(qEnvironmentVariable("XDG_RUNTIME_DIR")).permissions() & ~userBits,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
