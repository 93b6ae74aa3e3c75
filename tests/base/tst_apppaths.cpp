#include "TestMain.h"
#include "base/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestAppPaths : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;

    void makeTool(const QString& name, bool executable)
    {
        QFile file(AppPaths::binDir() + u'/' + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.setPermissions(executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                       : QFile::ReadOwner | QFile::WriteOwner);
    }

private slots:
    void init()
    {
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
        QDir(m_data.path() + u"/Trellick"_s).removeRecursively();
    }

    void toolsInstalledNeedsBothExecutables()
    {
        QVERIFY(!AppPaths::toolsInstalled());
        makeTool(u"ffmpeg"_s, true);
        QVERIFY(!AppPaths::toolsInstalled());
        makeTool(u"ffprobe"_s, false);
        QVERIFY(!AppPaths::toolsInstalled());
        QFile::remove(AppPaths::binDir() + u"/ffprobe"_s);
        makeTool(u"ffprobe"_s, true);
        QVERIFY(AppPaths::toolsInstalled());
        QFile::remove(AppPaths::binDir() + u"/ffmpeg"_s);
        QVERIFY(!AppPaths::toolsInstalled()); // read afresh, never cached
        QDir().mkpath(AppPaths::binDir() + u"/ffmpeg"_s); // a folder named like the tool does not count
        QVERIFY(!AppPaths::toolsInstalled());
    }
};

TRELLICK_TEST_MAIN(TestAppPaths)
#include "tst_apppaths.moc"
