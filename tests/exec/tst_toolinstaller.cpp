#include "FfmpegBuildServer.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "base/AppPaths.h"
#include "exec/ToolInstaller.h"
#include "plans/SystemTools.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray sha256Hex(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

} // namespace

class TestToolInstaller : public QObject
{
    Q_OBJECT

    QTemporaryDir m_fixtures;
    QTemporaryDir m_tmp; // the system temporary folder during each test, to see that nothing is left
    QByteArray m_ffmpegZip;
    QByteArray m_ffprobeZip;
    QByteArray m_nestedFfmpegZip;
    QByteArray m_readmeZip;
    std::unique_ptr<FfmpegBuildServer> m_builds;

    QString pinned() const { return ToolInstaller::bases().at(0).mid(m_builds->baseUrl().size()); }
    QString latest() const { return ToolInstaller::bases().at(1).mid(m_builds->baseUrl().size()); }

    // Runs one install to its end and returns its error, if any.
    std::optional<ToolError> install(ToolInstaller& installer)
    {
        QSignalSpy finished(&installer, &ToolInstaller::finished);
        installer.install();
        if (!finished.wait(60000) || finished.size() != 1) {
            return ToolError{u"no single finish"_s};
        }
        const auto result = finished.first().first().value<Result<void, ToolError>>();
        return result.ok() ? std::nullopt : std::optional(result.error());
    }

    void serve(const QString& base, const QString& tool, const QByteArray& zip) { m_builds->serve(base, tool, zip); }
    void serveBoth(const QString& base) { m_builds->serveBoth(base); }

    QStringList leftovers() const { return QDir(m_tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixtures.isValid() && m_tmp.isValid());
        m_ffmpegZip = FfmpegBuildServer::zipOf(u"ffmpeg"_s);
        m_ffprobeZip = FfmpegBuildServer::zipOf(u"ffprobe"_s);
        // A folder named like the tool comes first in the walk; the file inside it is the tool.
        m_nestedFfmpegZip = FfmpegBuildServer::makeZip(
            {{u"/usr/bin/ffmpeg"_s, u"ffmpeg/ffmpeg"_s}, {u"/usr/bin/ffprobe"_s, u"ffmpeg/doc/ffmpeg-readme"_s}});
        m_readmeZip = FfmpegBuildServer::makeZip({{u"/etc/hostname"_s, u"README"_s}});
        QVERIFY(!m_ffmpegZip.isEmpty() && !m_nestedFfmpegZip.isEmpty() && !m_readmeZip.isEmpty());
        qputenv("TMPDIR", m_tmp.path().toUtf8());
    }

    void init()
    {
        m_builds.reset();
        m_builds = std::make_unique<FfmpegBuildServer>();
        ToolInstaller::remove();
    }

    void cleanup() { QCOMPARE(leftovers(), QStringList()); }

    void basesFollowTheServerAndThisSystem()
    {
        qputenv("TRELLICK_FFMPEG_SERVER", "https://builds.example/");
        const QStringList bases = ToolInstaller::bases();
        QCOMPARE(bases.size(), 2);
        QVERIFY(bases[0].startsWith(u"https://builds.example/download/linux/"_s));
        QVERIFY(bases[0].endsWith(u"/1789931890_9.0.2/"_s));
        QVERIFY(bases[1].startsWith(u"https://builds.example/redirect/latest/linux/"_s));
        QVERIFY(bases[1].endsWith(u"/release/"_s));
#if defined(Q_PROCESSOR_X86_64)
        QVERIFY(bases[0].contains(u"/linux/amd64/"_s));
#endif
    }

    void installsBothToolsFromThePinnedBuild()
    {
        serveBoth(pinned());
        ToolInstaller installer;
        QList<QPair<double, QString>> reports;
        connect(&installer, &ToolInstaller::progress, this, [&](double fraction, const QString& text) {
            reports.append({fraction, text});
        });
        QCOMPARE(install(installer), std::nullopt);

        QVERIFY(AppPaths::toolsInstalled());
        for (const QString& tool : ToolInstaller::tools()) {
            // Mode 0755; the "user" bits describe the test's own access and are left out.
            const auto userBits = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
            QCOMPARE(QFileInfo(AppPaths::binDir() + u'/' + tool).permissions() & ~userBits,
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                         | QFile::ReadOther | QFile::ExeOther);
        }
        QCOMPARE(reports.first(), qMakePair(0.0, u"Reading the published checksum for ffmpeg..."_s));
        QVERIFY(reports.contains(qMakePair(0.5, u"Checking ffmpeg..."_s)));
        QVERIFY(reports.contains(qMakePair(0.5, u"Reading the published checksum for ffprobe..."_s)));
        QVERIFY(reports.contains(qMakePair(1.0, u"Checking ffprobe..."_s)));
        QCOMPARE(reports.last(), qMakePair(1.0, u"Done"_s));
        double last = 0;
        for (const auto& [fraction, text] : reports) {
            QVERIFY2(fraction >= last && fraction <= 1.0, qPrintable(text));
            last = fraction;
            if (text.startsWith(u"Downloading ffprobe... "_s)) {
                QVERIFY(fraction >= 0.5);
            }
        }
        QVERIFY(!m_builds->requested(latest() + u"ffmpeg.zip.sha256"_s));

        // The installed ffmpeg does real work.
        const QString mp3 = m_fixtures.path() + u"/tone.mp3"_s;
        QVERIFY(TestFiles::runTool(AppPaths::binDir() + u"/ffmpeg"_s,
                                   {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=d=1"_s, mp3}));
        QVERIFY(QFileInfo(mp3).size() > 1000);
    }

    void fallsBackToTheLatestReleaseThroughARedirect()
    {
        // The pinned build is gone (404); the newest release redirects to the real files.
        serveBoth(u"/files/"_s);
        for (const QString& name :
             {u"ffmpeg.zip"_s, u"ffmpeg.zip.sha256"_s, u"ffprobe.zip"_s, u"ffprobe.zip.sha256"_s}) {
            m_builds->redirect(latest() + name, m_builds->baseUrl() + u"/files/"_s + name);
        }
        ToolInstaller installer;
        QCOMPARE(install(installer), std::nullopt);
        QVERIFY(AppPaths::toolsInstalled());
        QVERIFY(m_builds->requested(pinned() + u"ffmpeg.zip.sha256"_s));
    }

    void findsTheToolInASubfolder()
    {
        serveBoth(pinned());
        serve(pinned(), u"ffmpeg"_s, m_nestedFfmpegZip);
        ToolInstaller installer;
        QCOMPARE(install(installer), std::nullopt);
        QVERIFY(AppPaths::toolsInstalled());
        QCOMPARE(TestFiles::read(AppPaths::binDir() + u"/ffmpeg"_s), TestFiles::read(u"/usr/bin/ffmpeg"_s));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("ffmpegStays");
        QTest::newRow("nothing served") << u"none"_s << u"Could not read the published checksum."_s << false;
        QTest::newRow("archive missing") << u"no-archive"_s << u"The download server answered with status 404."_s
                                         << false;
        QTest::newRow("wrong checksum")
            << u"wrong-sum"_s
            << u"The downloaded ffmpeg did not match its published checksum, so it was not installed."_s << false;
        QTest::newRow("not a zip") << u"not-zip"_s << u"Could not unpack ffmpeg: "_s << false;
        QTest::newRow("ffprobe left out") << u"no-ffprobe"_s << u"The download did not contain ffprobe."_s << true;
        QTest::newRow("second failure is shown")
            << u"two-failures"_s << u"The download server answered with status 500."_s << false;
    }

    void failures()
    {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QFETCH(bool, ffmpegStays);
        for (const QString& base : {pinned(), latest()}) {
            if (setup == u"none"_s) {
                break;
            }
            serveBoth(base);
            if (setup == u"short-sum"_s) {
                m_builds->route(base + u"ffmpeg.zip.sha256"_s,
                                LocalHttpServer::Reply::text(sha256Hex(m_ffmpegZip).mid(1)));
            } else if (setup == u"no-archive"_s) {
                m_builds->route(base + u"ffmpeg.zip"_s, LocalHttpServer::Reply::text("gone", 404));
            } else if (setup == u"wrong-sum"_s) {
                m_builds->route(base + u"ffmpeg.zip.sha256"_s, LocalHttpServer::Reply::text(sha256Hex(m_ffprobeZip)));
            } else if (setup == u"not-zip"_s) {
                m_builds->route(base + u"ffmpeg.zip"_s, LocalHttpServer::Reply::bytes("not a zip"));
                m_builds->route(base + u"ffmpeg.zip.sha256"_s, LocalHttpServer::Reply::text(sha256Hex("not a zip")));
            } else if (setup == u"no-ffprobe"_s) {
                serve(base, u"ffprobe"_s, m_readmeZip);
            } else if (setup == u"two-failures"_s) {
                m_builds->route(base + u"ffmpeg.zip"_s,
                                LocalHttpServer::Reply::text("no", base == pinned() ? 404 : 500));
            }
        }
        ToolInstaller installer;
        const auto error = install(installer);
        QVERIFY(error);
        QVERIFY2(error->message.startsWith(message), qPrintable(error->message));
        QCOMPARE(error->kind, ErrorKind::failed);
        QVERIFY(!AppPaths::toolsInstalled());
        QCOMPARE(QFileInfo::exists(AppPaths::binDir() + u"/ffmpeg"_s), ffmpegStays);
    }

    void unreachableServerGivesTheSystemsSentence()
    {
        qputenv("TRELLICK_FFMPEG_SERVER", "http://127.0.0.1:1");
        ToolInstaller installer;
        const auto error = install(installer);
        QVERIFY(error);
        QCOMPARE(error->message, u"Connection refused."_s);
    }

    void cancellingADownloadStopsEverything()
    {
        serveBoth(pinned());
        serveBoth(latest());
        m_builds->route(pinned() + u"ffmpeg.zip"_s, LocalHttpServer::Reply::slowly(m_ffmpegZip, 4096, 20));
        ToolInstaller installer;
        connect(&installer, &ToolInstaller::progress, this, [&](double, const QString& text) {
            if (text.startsWith(u"Downloading ffmpeg"_s)) {
                installer.cancel();
            }
        });
        const auto error = install(installer);
        QVERIFY(error);
        QCOMPARE(error->kind, ErrorKind::cancelled);
        QVERIFY(!QFileInfo::exists(AppPaths::binDir() + u"/ffmpeg"_s));
        QVERIFY(!m_builds->requested(latest() + u"ffmpeg.zip.sha256"_s));

        // The next install starts afresh.
        m_builds->route(pinned() + u"ffmpeg.zip"_s, LocalHttpServer::Reply::bytes(m_ffmpegZip));
        installer.disconnect(this);
        QCOMPARE(install(installer), std::nullopt);
    }

    void cancellingAnUnpackStopsIt()
    {
        serveBoth(pinned());
        serveBoth(latest());
        // A ditto that never ends, once it has said (in the folder it unpacks into) that it runs.
        QTemporaryDir tools;
        const QString ditto
            = TestFiles::write(tools.filePath(u"ditto"_s), "#!/bin/sh\ntouch \"$4/started\"\nexec sleep 600\n");
        QVERIFY(QFile::setPermissions(ditto, QFile::ReadOwner | QFile::ExeOwner));
        SystemTools::setStandInDir(tools.path());
        const auto unpacking = [this] {
            const QStringList folders = QDir(m_tmp.path()).entryList({u"tw-unzip-*"_s}, QDir::Dirs);
            return !folders.isEmpty() && QFile::exists(m_tmp.filePath(folders.first() + u"/started"_s));
        };
        ToolInstaller installer;
        QSignalSpy finished(&installer, &ToolInstaller::finished);
        installer.install();
        QTRY_VERIFY_WITH_TIMEOUT(unpacking(), 30000);
        installer.cancel();
        QVERIFY(finished.wait(30000));
        SystemTools::setStandInDir({});
        const auto result = finished.first().first().value<Result<void, ToolError>>();
        QVERIFY(!result.ok());
        QCOMPARE(result.error().kind, ErrorKind::cancelled);
        QVERIFY(!m_builds->requested(latest() + u"ffmpeg.zip.sha256"_s));
    }

    void parseChecksum_data()
    {
        const QByteArray sum = QCryptographicHash::hash("x", QCryptographicHash::Sha256).toHex();
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("result");
        QTest::newRow("63 digits") << sum.left(63) << u"The checksum file was not in the expected format."_s;
        QTest::newRow("not hexadecimal") << QByteArray(64, 'g')
                                         << u"The checksum file was not in the expected format."_s;
        QTest::newRow("not UTF-8") << QByteArray("\xff\xfe ") + sum << u"Could not read the published checksum."_s;
        QTest::newRow("bare") << sum << QString::fromLatin1(sum);
        QTest::newRow("with a name") << sum + "  ffmpeg.zip\n" << QString::fromLatin1(sum);
        QTest::newRow("capital letters") << sum.toUpper() << QString::fromLatin1(sum);
        QTest::newRow("second line") << "SHA256 sums\n\t" + sum + "\tffmpeg.zip" << QString::fromLatin1(sum);
    }

    void parseChecksum()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, result);
        const Result<QString, ToolError> parsed = ToolInstaller::parseChecksum(body);
        QCOMPARE(parsed.ok() ? parsed.value() : parsed.error().message, result);
    }

    void digestReadsPastOneChunk()
    {
        QByteArray data;
        for (int i = 0; data.size() < 9 * 1024 * 1024; ++i) {
            data += QByteArray::number(i) + ' ';
        }
        const QString path = TestFiles::write(m_fixtures.path() + u"/big"_s, data);
        QCOMPARE(ToolInstaller::sha256(path).value(),
                 QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex()));
        QVERIFY(!ToolInstaller::sha256(m_fixtures.path() + u"/missing"_s).ok());
    }
};

TRELLICK_TEST_MAIN(TestToolInstaller)
#include "tst_toolinstaller.moc"
