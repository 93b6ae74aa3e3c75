#include "TestFiles.h"
#include "TestMain.h"
#include "TestMedia.h"
#include "files/ProbeHelper.h"
#include "platform/FdChannel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

static QStringList texts(const MediaFacts& facts)
{
    QStringList list;
    for (const FactLine& line : facts.lines()) {
        list << line.label + u": "_s + line.value;
    }
    return list;
}

// What ffprobe itself says, read as a user of the tool would read it: the container's duration and bit
// rate, the first video stream that is not cover art, the first audio stream.
static MediaFacts ffprobeFacts(const QString& path)
{
    QProcess ffprobe;
    ffprobe.start(u"/usr/bin/ffprobe"_s,
                  {u"-v"_s, u"error"_s, u"-show_format"_s, u"-show_streams"_s, u"-of"_s, u"json"_s, path});
    if (!ffprobe.waitForFinished(60000)) {
        return {};
    }
    const QJsonObject root = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    MediaFacts facts;
    facts.source = u"libavformat"_s;
    const QJsonObject format = root.value(u"format"_s).toObject();
    bool ok = false;
    if (const double duration = format.value(u"duration"_s).toString().toDouble(&ok); ok) {
        facts.duration = duration;
    }
    if (const qint64 bitRate = format.value(u"bit_rate"_s).toString().toLongLong(&ok); ok) {
        facts.bitRate = bitRate;
    }
    for (const QJsonValue& value : root.value(u"streams"_s).toArray()) {
        const QJsonObject stream = value.toObject();
        const QString type = stream.value(u"codec_type"_s).toString();
        if (type == u"video"_s && !facts.videoCodec
            && stream.value(u"disposition"_s).toObject().value(u"attached_pic"_s).toInt() == 0) {
            facts.width = stream.value(u"width"_s).toInt();
            facts.height = stream.value(u"height"_s).toInt();
            facts.videoCodec = stream.value(u"codec_name"_s).toString();
            facts.frameRate = MediaFacts::frameRateText(stream.value(u"avg_frame_rate"_s).toString());
        } else if (type == u"audio"_s && !facts.audioCodec) {
            facts.audioCodec = stream.value(u"codec_name"_s).toString();
            facts.sampleRate = stream.value(u"sample_rate"_s).toString() + u" Hz"_s;
        }
    }
    return facts;
}

// Starts the worker by hand on a socket pair, as the window does but without its confinement.
class WorkerByHand
{
public:
    WorkerByHand()
    {
        auto ends = FdChannel::makePair();
        QVERIFY(ends);
        m_socket = std::move(ends->first);
        const int theirs = ends->second.get();
        m_process.setChildProcessModifier([theirs] { dup2(theirs, 3); });
        m_process.start(ProbeHelper::program(), {});
        QVERIFY(m_process.waitForStarted());
    }
    ~WorkerByHand()
    {
        m_socket = {};
        m_process.waitForFinished();
    }
    std::optional<QByteArray> ask(const QByteArray& request, int fd = -1)
    {
        if (!FdChannel::send(m_socket.get(), request, fd)) {
            return std::nullopt;
        }
        std::optional<FdChannel::Message> reply = FdChannel::receive(m_socket.get());
        return reply ? std::optional(reply->body) : std::nullopt;
    }

private:
    Descriptor m_socket;
    QProcess m_process;
};

class TestProbeService : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(TestMedia::videoMp4(path(u"clip.mp4"_s)));
        QVERIFY(TestMedia::mp3WithCover(path(u"song.mp3"_s)));
        QVERIFY(TestMedia::twoAudioTracks(path(u"tracks.mka"_s)));
        QVERIFY(TestMedia::wav(path(u"tone.wav"_s)));
        QVERIFY(TestMedia::unknownFrameRate(path(u"still.mpg"_s)));
    }

    // The worker's facts are ffprobe's, field by field, whether or not ffprobe is installed.
    void mediaFactsAreFFprobes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<FileKind>("kind");
        QTest::addColumn<QStringList>("lines"); // without the bit rate, which depends on the encoder and container
        QTest::newRow("video") << u"clip.mp4"_s << FileKind::video
                               << QStringList{u"Duration: 0:02"_s,    u"Resolution: 320 × 240"_s,
                                              u"Video codec: h264"_s, u"Frame rate: 25.00 fps"_s,
                                              u"Audio codec: aac"_s,  u"Sample rate: 44100 Hz"_s};
        QTest::newRow("cover art is not a video")
            << u"song.mp3"_s << FileKind::audio
            << QStringList{u"Duration: 0:02"_s, u"Audio codec: mp3"_s, u"Sample rate: 44100 Hz"_s};
        QTest::newRow("first of two audio tracks")
            << u"tracks.mka"_s << FileKind::audio
            << QStringList{u"Duration: 0:01"_s, u"Audio codec: flac"_s, u"Sample rate: 48000 Hz"_s};
        QTest::newRow("WAV") << u"tone.wav"_s << FileKind::audio
                             << QStringList{u"Duration: 0:01"_s, u"Audio codec: pcm_s16le"_s,
                                            u"Sample rate: 44100 Hz"_s};
        QTest::newRow("unknown frame rate")
            << u"still.mpg"_s << FileKind::video << QStringList{u"Resolution: 64 × 48"_s, u"Video codec: mpeg2video"_s};
    }

    void mediaFactsAreFFprobes()
    {
        QFETCH(QString, name);
        QFETCH(FileKind, kind);
        QFETCH(QStringList, lines);
        const MediaFacts facts = ProbeHelper::probeNow(path(name), kind);
        QCOMPARE(facts, ffprobeFacts(path(name)));
        QStringList shown = texts(facts);
        shown.removeIf([](const QString& line) { return line.startsWith(u"Bit rate: "_s); });
        QCOMPARE(shown, lines);
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* ext : {"jpg", "png", "heic", "webp", "bmp"}) {
            QTest::newRow(ext) << u"picture."_s + QLatin1String(ext);
        }
        // libvips would take the brackets of a file name as load options.
        QTest::newRow("brackets in the name") << u"odd[page=2].png"_s;
        // The content decides, not the name.
        QTest::newRow("PNG named .jpg") << u"png-inside.jpg"_s;
    }

    void pictures()
    {
        QFETCH(QString, name);
        const QString file = path(name);
        if (name == u"png-inside.jpg"_s) {
            QVERIFY(TestMedia::picture(file + u".png"_s, 124, 46));
            QVERIFY(QFile::rename(file + u".png"_s, file));
        } else {
            QVERIFY(TestMedia::picture(file, 124, 46));
        }
        const MediaFacts facts = ProbeHelper::probeNow(file, FileKind::image);
        QCOMPARE(facts.source, u"libvips"_s);
        QCOMPARE(texts(facts), QStringList{u"Resolution: 124 × 46"_s});
    }

    // A page tree that contains itself would be endless: no count, and an answer rather than the time limit.
    void pdfs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("three pages") << u"three.pdf"_s << QStringList{u"Pages: 3"_s};
        QTest::newRow("locked with a password") << u"locked.pdf"_s << QStringList();
        QTest::newRow("page tree holds itself") << u"loop.pdf"_s << QStringList();
        QTest::newRow("page tree holds its parent") << u"cycle.pdf"_s << QStringList();
    }

    void pdfs()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, lines);
        const QString file = path(name);
        QVERIFY(TestMedia::pdf(path(u"three.pdf"_s), 3));
        if (name == u"locked.pdf"_s) {
            QVERIFY(TestFiles::runTool(
                u"/usr/bin/qpdf"_s,
                {u"--encrypt"_s, u"user"_s, u"owner"_s, u"256"_s, u"--"_s, path(u"three.pdf"_s), file}));
        } else if (name == u"loop.pdf"_s) {
            TestFiles::write(file,
                             "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                             "2 0 obj << /Type /Pages /Kids [2 0 R] /Count 1 >> endobj\n"
                             "trailer << /Root 1 0 R >>\n%%EOF\n");
        } else if (name == u"cycle.pdf"_s) {
            TestFiles::write(file,
                             "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                             "2 0 obj << /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >> endobj\n"
                             "3 0 obj << /Type /Pages /Parent 2 0 R /Kids [2 0 R] /Count 1 >> endobj\n"
                             "4 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 9 9] >> endobj\n"
                             "trailer << /Root 1 0 R >>\n%%EOF\n");
        }
        const MediaFacts facts = ProbeHelper::probeNow(file, FileKind::pdf);
        QCOMPARE(facts.source, u"qpdf"_s);
        QCOMPARE(texts(facts), lines);
    }

    void otherKindsAreNotRead()
    {
        for (FileKind kind : {FileKind::archive, FileKind::folder, FileKind::other}) {
            QCOMPARE(ProbeHelper::probeNow(path(u"clip.mp4"_s), kind), MediaFacts());
        }
    }

    // Damaged and hostile files give no facts (a cut-off video may keep some), and every probe returns.
    void badInput_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<FileKind>("kind");
        QTest::addColumn<QByteArray>("bytes"); // the file, unless the test makes it another way
        const QByteArray clip = TestFiles::read(path(u"clip.mp4"_s));
        QTest::newRow("truncated video") << u"truncated.mp4"_s << FileKind::video << clip.left(clip.size() / 3);
        QTest::newRow("text named .mp4") << u"text.mp4"_s << FileKind::video
                                         << QByteArray("This is not a picture or a film.\n");
        // Lists of other files: the file beside them is not read for them, and they are said to be lists.
        QTest::newRow("HLS playlist naming a sibling")
            << u"hls.mp4"_s << FileKind::video
            << QByteArray("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2.0,\nclip.mp4\n#EXT-X-ENDLIST\n");
        QTest::newRow("ffconcat list naming a sibling")
            << u"concat.mp3"_s << FileKind::audio << QByteArray("ffconcat version 1.0\nfile song.mp3\n");
        QTest::newRow("zero-byte picture") << u"empty.jpg"_s << FileKind::image << QByteArray();
        QTest::newRow("SVG named .png") << u"drawing.png"_s << FileKind::image
                                        << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='9' height='9'/>");
        QTest::newRow("BMP header with no size")
            << u"flat.bmp"_s << FileKind::image
            << QByteArray("BM") + QByteArray(12, '\0') + QByteArray("\x28\0\0\0", 4) + QByteArray(8, '\0');
        QTest::newRow("broken PDF")
            << u"broken.pdf"_s << FileKind::pdf
            << QByteArray("%PDF-1.7\n1 0 obj << /Type /Catalog /Pages 2 0 R >>\nendobj\ntrailer garbage");
        QTest::newRow("named pipe as video") << u"pipe.mp4"_s << FileKind::video << QByteArray();
        QTest::newRow("named pipe as picture") << u"pipe.jpg"_s << FileKind::image << QByteArray();
        QTest::newRow("named pipe as PDF") << u"pipe.pdf"_s << FileKind::pdf << QByteArray();
        QTest::newRow("4 GB of nothing as video") << u"sparse.mp4"_s << FileKind::video << QByteArray();
        QTest::newRow("4 GB of nothing as picture") << u"sparse.jpg"_s << FileKind::image << QByteArray();
        QTest::newRow("4 GB of nothing as PDF") << u"sparse.pdf"_s << FileKind::pdf << QByteArray();
        QTest::newRow("missing file") << u"gone.mp4"_s << FileKind::video << QByteArray();
    }

    void badInput()
    {
        QFETCH(QString, name);
        QFETCH(FileKind, kind);
        QFETCH(QByteArray, bytes);
        const QString file = path(name);
        if (name.startsWith(u"pipe."_s)) {
            QCOMPARE(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        } else if (name.startsWith(u"sparse."_s)) {
            QFile sparse(file);
            QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(4LL << 30));
        } else if (name != u"gone.mp4"_s) {
            TestFiles::write(file, bytes);
        }
        const MediaFacts facts = ProbeHelper::probeNow(file, kind);
        QVERIFY(name == u"truncated.mp4"_s || facts.lines().isEmpty());
        QCOMPARE(facts.fileList, name == u"hls.mp4"_s || name == u"concat.mp3"_s);
        QFile::remove(file);
    }

    // A worker that crashes, hangs or answers garbage is ended; that file gets no facts and the next one a
    // new worker.
    void aFailedWorkerIsReplaced_data()
    {
        QTest::addColumn<QByteArray>("marker");
        QTest::newRow("crash") << QByteArray("TRELLICK-TEST-CRASH");
        QTest::newRow("hang") << QByteArray("TRELLICK-TEST-HANG");
        QTest::newRow("garbage") << QByteArray("TRELLICK-TEST-GARBAGE");
    }

    void aFailedWorkerIsReplaced()
    {
        QFETCH(QByteArray, marker);
        ProbeHelper::setTimeLimitForTesting(3000);
        const QString bad = TestFiles::write(path(u"bad.mp4"_s), marker);
        const QFuture<MediaFacts> first = ProbeHelper::probe(bad, FileKind::video);
        const MediaFacts next = ProbeHelper::probeNow(path(u"clip.mp4"_s), FileKind::video);
        ProbeHelper::setTimeLimitForTesting(0);
        QVERIFY(first.isFinished());
        QCOMPARE(first.result(), MediaFacts());
        QCOMPARE(next.videoCodec, u"h264"_s);
    }

    // The worker opens nothing by name: a request without an open file gets nothing.
    void aRequestWithoutAFileGetsNothing()
    {
        WorkerByHand worker;
        const QByteArray byName = QJsonDocument(QJsonObject{{u"kind"_s, u"video"_s}, {u"path"_s, path(u"clip.mp4"_s)}})
                                      .toJson(QJsonDocument::Compact);
        QCOMPARE(worker.ask(byName), std::optional<QByteArray>("{}"));
        const Descriptor clip = Descriptor::openRegularFile(path(u"clip.mp4"_s));
        const std::optional<QByteArray> reply = worker.ask(byName, clip.get());
        QVERIFY(reply && reply->contains("h264"));
    }

    void jsonKeepsEveryFact()
    {
        const MediaFacts facts{.duration = 12.345678901234,
                               .width = 1920,
                               .height = 1080,
                               .videoCodec = u"h264"_s,
                               .audioCodec = u"aac"_s,
                               .bitRate = 4'500'000'123,
                               .frameRate = u"29.97 fps"_s,
                               .sampleRate = u"48000 Hz"_s,
                               .pages = 0,
                               .fileList = true,
                               .source = u"ffprobe"_s};
        QCOMPARE(ProbeHelper::decode(ProbeHelper::encode(facts)), facts);
        QCOMPARE(ProbeHelper::decode(ProbeHelper::encode(MediaFacts())), MediaFacts());
    }

    // What a helper taken over by a hostile file could print: each bad field is dropped on its own.
    void jsonDropsBadFields_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("text for a number") << QByteArray(R"({"width": "1920", "height": 1080})");
        QTest::newRow("negative size") << QByteArray(R"({"width": -5, "height": 1080})");
        QTest::newRow("fraction of a pixel") << QByteArray(R"({"width": 1.5, "height": 1080})");
        QTest::newRow("beyond int") << QByteArray(R"({"width": 1e12, "height": 1080})");
        QTest::newRow("number for a text") << QByteArray(R"({"videoCodec": 7, "height": 1080})");
        QTest::newRow("very long text") << "{\"videoCodec\": \"" + QByteArray(5000, 'x') + "\", \"height\": 1080}";
        QTest::newRow("negative duration") << QByteArray(R"({"duration": -1, "height": 1080})");
        QTest::newRow("object for a text") << QByteArray(R"({"source": {}, "height": 1080})");
    }

    void jsonDropsBadFields()
    {
        QFETCH(QByteArray, json);
        const MediaFacts facts = ProbeHelper::decode(QJsonDocument::fromJson(json).object());
        QCOMPARE(facts.height, 1080);
        QVERIFY(!facts.width && !facts.videoCodec && !facts.duration);
        QCOMPARE(facts.source, QString());
    }
};

TRELLICK_TEST_MAIN(TestProbeService)
#include "tst_probeservice.moc"
