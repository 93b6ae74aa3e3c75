#include "LocalHttpServer.h"
#include "TestMain.h"
#include "net/FileDownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using Download = Result<QString, NetError>;

class TestFileDownload : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp; // the system temporary folder during each test, to see what is left in it
    LocalHttpServer* m_server = nullptr;

    QStringList leftovers() const { return QDir(m_tmp.path()).entryList(QDir::Files | QDir::NoDotAndDotDot); }
    QUrl url(const char* path) const { return m_server->url().resolved(QUrl(QString::fromLatin1(path))); }

    // Runs `download` to its end; a second report would be a fault.
    static Download run(FileDownload& download, const QUrl& url)
    {
        QList<Download> reports;
        connect(&download, &FileDownload::finished, &download, [&](const Download& result) { reports << result; });
        download.start(url);
        if (!QTest::qWaitFor([&] { return !reports.isEmpty(); }, 10000)) {
            return NetError{NetError::Kind::unreachable, u"no finish"_s};
        }
        download.cancel();
        QTest::qWait(20);
        return reports.size() == 1 ? reports.first() : NetError{NetError::Kind::unreachable, u"two finishes"_s};
    }

private slots:
    void init()
    {
        QVERIFY(m_tmp.isValid());
        qputenv("TMPDIR", m_tmp.path().toLocal8Bit());
        m_server = new LocalHttpServer(this);
    }
    void cleanup()
    {
        delete m_server;
        for (const QString& name : leftovers()) {
            QFile::remove(m_tmp.filePath(name));
        }
    }

    void streamsTheBodyToATemporaryFileWithProgress()
    {
        const QByteArray body = QByteArray(300000, 'z') + "end";
        m_server->route("/a.zip", LocalHttpServer::Reply::redirect("/b.zip"));
        // Qt reports download progress at most every 100 ms: the chunks come slower than that.
        m_server->route("/b.zip", LocalHttpServer::Reply::slowly(body, 64 * 1024, 150));
        FileDownload download;
        QList<double> fractions;
        connect(&download, &FileDownload::progress, this, [&](double fraction, qint64) { fractions << fraction; });
        const Download result = run(download, url("/a.zip"));
        QVERIFY2(result.ok(), result.ok() ? "" : qPrintable(result.error().description));
        QCOMPARE(QFileInfo(result.value()).dir().path(), m_tmp.path());
        QFile file(result.value());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), body);
        QVERIFY(fractions.size() > 1);
        QVERIFY(std::is_sorted(fractions.begin(), fractions.end()));
        QCOMPARE(fractions.last(), 1.0);
    }

    void failuresLeaveNoFile_data()
    {
        QTest::addColumn<LocalHttpServer::Reply>("reply");
        QTest::addColumn<NetError::Kind>("kind");
        QTest::addColumn<int>("status");
        QTest::newRow("not found") << LocalHttpServer::Reply::text("missing", 404) << NetError::Kind::status << 404;
        QTest::newRow("cut off") << LocalHttpServer::Reply::closeMidBody(QByteArray(200000, 'x'))
                                 << NetError::Kind::unreachable << 200;
    }
    void failuresLeaveNoFile()
    {
        QFETCH(LocalHttpServer::Reply, reply);
        QFETCH(NetError::Kind, kind);
        QFETCH(int, status);
        m_server->route("/f", reply);
        FileDownload download;
        const Download result = run(download, url("/f"));
        QVERIFY(!result.ok());
        QCOMPARE(result.error().kind, kind);
        if (kind == NetError::Kind::status) {
            QCOMPARE(result.error().status, status);
        }
        QCOMPARE(leftovers(), QStringList());
    }

    void cancelInTheMiddleEndsAtOnceAndRemovesThePartialFile()
    {
        m_server->route("/slow", LocalHttpServer::Reply::slowly(QByteArray(1000000, 'q'), 1024, 20));
        FileDownload download;
        connect(&download, &FileDownload::progress, this, [&](double, qint64 bytes) {
            if (bytes > 4096) {
                download.cancel();
            }
        });
        const Download result = run(download, url("/slow"));
        QVERIFY(!result.ok());
        QCOMPARE(result.error().kind, NetError::Kind::cancelled);
        QCOMPARE(leftovers(), QStringList());
    }
};

TRELLICK_TEST_MAIN(TestFileDownload)
#include "tst_filedownload.moc"
