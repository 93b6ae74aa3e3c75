#include "FfmpegBuildServer.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "exec/ToolInstaller.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using Entries = QList<FfmpegBuildServer::Entry>;

namespace {

const QString top = u"ffmpeg-master-latest-build/"_s;

Entries usualEntries()
{
    return {{top + u"bin/ffmpeg"_s, u"/usr/bin/ffmpeg"_s, {}}, {top + u"bin/ffprobe"_s, u"/usr/bin/ffprobe"_s, {}}};
}

} // namespace

class TestToolInstaller : public QObject
{
    Q_OBJECT

    QTemporaryDir m_fixtures;
    QTemporaryDir m_tmp; // the system temporary folder during each test, to see that nothing is left
    std::unique_ptr<FfmpegBuildServer> m_builds;

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

    // What is left in the temporary folder and beside the tool folder, other than the tools themselves.
    QStringList leftovers() const
    {
        const QStringList own{u"bin"_s};
        QStringList left = QDir(m_tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QString& name : QDir(AppPaths::supportDir()).entryList({u"tw-*"_s}, QDir::AllEntries)) {
            left << name;
        }
        for (const QString& name : QDir(AppPaths::binDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
            if (!ToolInstaller::tools().contains(name)) {
                left << u"bin/"_s + name;
            }
        }
        return left;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_fixtures.isValid() && m_tmp.isValid());
        QVERIFY(!FfmpegBuildServer::archive().isEmpty());
        qputenv("TMPDIR", m_tmp.path().toUtf8());
    }

    void init()
    {
        m_builds.reset();
        m_builds = std::make_unique<FfmpegBuildServer>();
        ToolInstaller::remove();
    }

    void cleanup() { QCOMPARE(leftovers(), QStringList()); }

    void installs_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::newRow("usual build") << Entries{};
        // What the real builds hold besides the two programs is never written.
        QTest::newRow("other files and links") << usualEntries()
                + Entries{{top + u"bin/ffplay"_s, u"/usr/bin/ffmpeg"_s, {}},
                          {top + u"doc/manual.html"_s, u"/etc/hostname"_s, {}},
                          {top + u"lib/current"_s, {}, u"/etc"_s}};
        QTest::newRow("a deeper bin/ffmpeg is not taken")
            << Entries{{top + u"doc/bin/ffmpeg"_s, u"/bin/false"_s, {}}} + usualEntries();
    }

    void installs()
    {
        QFETCH(Entries, entries);
        m_builds->serve(entries.isEmpty() ? QByteArray() : FfmpegBuildServer::makeArchive(entries));
        ToolInstaller installer;
        QList<QPair<double, QString>> reports;
        connect(&installer, &ToolInstaller::progress, this, [&](double fraction, const QString& text) {
            reports.append({fraction, text});
        });
        QCOMPARE(install(installer), std::nullopt);

        for (const QString& tool : ToolInstaller::tools()) {
            const QString path = AppPaths::binDir() + u'/' + tool;
            QCOMPARE(TestFiles::read(path), TestFiles::read(u"/usr/bin/"_s + tool));
            // Mode 0755; the "user" bits describe the test's own access and are left out.
            const auto userBits = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
            QCOMPARE(QFileInfo(path).permissions() & ~userBits,
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                         | QFile::ReadOther | QFile::ExeOther);
            // Its -version answer is known without running it again.
            QVERIFY(!FFmpegTools::version(path).isEmpty());
        }
        // The bar only moves forward; between the fixed steps the download reports its bytes.
        QVERIFY(std::is_sorted(reports.begin(), reports.end(), [](auto a, auto b) { return a.first < b.first; }));
        reports.removeIf([](const auto& report) { return report.second.startsWith(u"Downloading ffmpeg"_s); });
        QCOMPARE(reports,
                 (QList<QPair<double, QString>>{{0.0, u"Reading the published checksum..."_s},
                                                {0.9, u"Checking..."_s},
                                                {0.95, u"Unpacking..."_s},
                                                {1.0, u"Done"_s}}));
    }

    void failures_data()
    {
        const QString planted = m_tmp.filePath(u"planted"_s);
        const QString outside = u"The download held names outside its folder, so nothing was installed."_s;
        const QString layout = u"The download was not laid out like an ffmpeg build, so nothing was installed."_s;
        QTest::addColumn<QString>("setup");
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing served") << u"none"_s << Entries{} << u"Could not read the published checksum."_s;
        QTest::newRow("no server") << u"unreachable"_s << Entries{} << u"Connection refused."_s;
        QTest::newRow("no line for this archive")
            << u"no-line"_s << Entries{} << u"The checksum file was not in the expected format."_s;
        QTest::newRow("wrong digest") << u"wrong-sum"_s << Entries{}
                                      << u"The downloaded ffmpeg did not match its published checksum, so it was "
                                         "not installed."_s;
        QTest::newRow("archive missing") << u"no-archive"_s << Entries{}
                                         << u"The download server answered with status 404."_s;
        QTest::newRow("server stops mid-way") << u"cut"_s << Entries{} << u"*"_s;
        QTest::newRow("not an archive") << u"not-archive"_s << Entries{} << u"Could not unpack ffmpeg: "_s;
        QTest::newRow("without ffprobe") << u"serve"_s << usualEntries().mid(0, 1)
                                         << u"The download did not contain ffprobe."_s;
        QTest::newRow("ffmpeg only deeper down")
            << u"serve"_s << Entries{{top + u"x/bin/ffmpeg"_s, u"/usr/bin/ffmpeg"_s, {}}} + usualEntries().mid(1)
            << u"The download did not contain ffmpeg."_s;
        QTest::newRow("ffmpeg is a link")
            << u"serve"_s << Entries{{top + u"bin/ffmpeg"_s, {}, u"/usr/bin/ffmpeg"_s}} + usualEntries().mid(1)
            << u"The downloaded ffmpeg was not a plain file, so nothing was installed."_s;
        QTest::newRow("climbing name") << u"serve"_s
                                       << usualEntries()
                + Entries{{top + u"../../../planted"_s, u"/etc/hostname"_s, {}}}
                                       << outside;
        QTest::newRow("absolute name") << u"serve"_s << Entries{{planted, u"/etc/hostname"_s, {}}} + usualEntries()
                                       << outside;
        QTest::newRow("two top folders") << u"serve"_s
                                         << Entries{{u"a/bin/ffmpeg"_s, u"/usr/bin/ffmpeg"_s, {}},
                                                    {u"b/bin/ffprobe"_s, u"/usr/bin/ffprobe"_s, {}}}
                                         << layout;
        QTest::newRow("ffmpeg twice") << u"serve"_s << usualEntries() + usualEntries().mid(0, 1) << layout;
        QTest::newRow("ffmpeg does not start")
            << u"serve"_s << Entries{{top + u"bin/ffmpeg"_s, u"/bin/false"_s, {}}} + usualEntries().mid(1)
            << u"ffmpeg was installed but would not start: "_s;
    }

    void failures()
    {
        QFETCH(QString, setup);
        QFETCH(Entries, entries);
        QFETCH(QString, message);
        const QByteArray archive
            = entries.isEmpty() ? FfmpegBuildServer::archive() : FfmpegBuildServer::makeArchive(entries);
        const QString path = FfmpegBuildServer::archivePath();
        if (setup != u"none"_s) {
            m_builds->serve(archive);
        }
        if (setup == u"unreachable"_s) {
            qputenv("TRELLICK_FFMPEG_SERVER", "http://127.0.0.1:1/");
        } else if (setup == u"no-line"_s) {
            m_builds->route(u"/checksums.sha256"_s,
                            LocalHttpServer::Reply::text(FfmpegBuildServer::checksumLine(
                                archive, u"ffmpeg-master-latest-linux32-gpl.tar.xz"_s)));
        } else if (setup == u"wrong-sum"_s) {
            m_builds->route(path, LocalHttpServer::Reply::bytes(archive + "tampered"));
        } else if (setup == u"no-archive"_s) {
            m_builds->route(path, LocalHttpServer::Reply::text("gone", 404));
        } else if (setup == u"cut"_s) {
            m_builds->route(path, LocalHttpServer::Reply::closeMidBody(archive));
        } else if (setup == u"not-archive"_s) {
            m_builds->serve("not an archive");
        }
        ToolInstaller installer;
        const auto error = install(installer);
        QVERIFY(error);
        QVERIFY2(message == u"*"_s ? !error->message.isEmpty() : error->message.startsWith(message),
                 qPrintable(error->message));
        QCOMPARE(error->kind, ErrorKind::failed);
        for (const QString& tool : ToolInstaller::tools()) {
            QVERIFY(!QFileInfo::exists(AppPaths::binDir() + u'/' + tool));
        }
    }

    void cancelling_data()
    {
        QTest::addColumn<QString>("step");
        QTest::newRow("download") << u"Downloading"_s;
        QTest::newRow("digest") << u"Checking..."_s;
        QTest::newRow("unpacking") << u"Unpacking..."_s;
    }

    void cancelling()
    {
        QFETCH(QString, step);
        m_builds->serve();
        m_builds->route(FfmpegBuildServer::archivePath(),
                        LocalHttpServer::Reply::slowly(FfmpegBuildServer::archive(), 4096, 20));
        ToolInstaller installer;
        connect(&installer, &ToolInstaller::progress, this, [&](double, const QString& text) {
            if (text.startsWith(step)) {
                installer.cancel();
            }
        });
        const auto error = install(installer);
        QVERIFY(error);
        QCOMPARE(error->kind, ErrorKind::cancelled);
        QVERIFY(!QFileInfo::exists(AppPaths::binDir() + u"/ffmpeg"_s));

        // The next install starts afresh.
        installer.disconnect(this);
        QCOMPARE(install(installer), std::nullopt);
    }

    void parseChecksum_data()
    {
        const QByteArray sum = QCryptographicHash::hash("x", QCryptographicHash::Sha256).toHex();
        const QByteArray other = QCryptographicHash::hash("y", QCryptographicHash::Sha256).toHex();
        const QString format = u"The checksum file was not in the expected format."_s;
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("result");
        QTest::newRow("its own line among others") << other + "  b.tar.xz\n" + sum + "  a.tar.xz\n" + other
                + "  a.tar.xz.sig\n" << QString::fromLatin1(sum);
        QTest::newRow("binary mode") << sum + " *a.tar.xz" << QString::fromLatin1(sum);
        QTest::newRow("capital letters") << sum.toUpper() + "  a.tar.xz" << QString::fromLatin1(sum);
        QTest::newRow("only other files") << other + "  b.tar.xz\n" + sum + "  a.tar.xz.sig" << format;
        QTest::newRow("bare digest") << sum << format;
        QTest::newRow("63 digits") << sum.left(63) + "  a.tar.xz" << format;
        QTest::newRow("not UTF-8") << QByteArray("\xff\xfe\n") + sum + "  a.tar.xz"
                                   << u"Could not read the published checksum."_s;
    }

    void parseChecksum()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, result);
        const Result<QString, ToolError> parsed = ToolInstaller::parseChecksum(body, u"a.tar.xz"_s);
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
