#include "TestFiles.h"
#include "TestMain.h"
#include "TestMedia.h"
#include "base/AppPaths.h"
#include "files/ProbeHelper.h"
#include "readers/ProbeService.h"

#include <QFile>
#include <QFutureWatcher>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

static QStringList texts(const MediaFacts& facts)
{
    QStringList list;
    for (const FactLine& line : facts.lines()) {
        list << line.label + u": "_s + line.value;
    }
    return list;
}

// JSON written with single quotes, which read better in a C++ string.
static QString json(const char* text)
{
    return QString::fromUtf8(text).replace(u'\'', u'"');
}

// The facts as the window gets them: from the helper program, waited for with the event loop that drives it.
static MediaFacts viaHelper(const QString& path, FileKind kind)
{
    QFutureWatcher<MediaFacts> watcher;
    QSignalSpy done(&watcher, &QFutureWatcherBase::finished);
    watcher.setFuture(ProbeHelper::probe(path, kind));
    if (!done.wait(120000)) {
        qWarning("the probe helper did not finish");
        return {};
    }
    return watcher.future().result();
}

static QStringList labels(const MediaFacts& facts)
{
    QStringList list;
    for (const FactLine& line : facts.lines()) {
        list << line.label;
    }
    return list;
}

class TestProbeService : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data; // the application's folders, so the tools folder is private to this test
    QTemporaryDir m_dir;
    // ffprobe is the program's own copy or none: the system's is off PATH.
    QTemporaryDir m_pathDir;
    TestFiles::ScopedPath m_path{m_pathDir.path()};

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Installs or removes ffprobe, then reads the file as `probe` would for its kind.
    MediaFacts probeWith(bool ffprobe, const QString& name, FileKind kind)
    {
        if (ffprobe) {
            TestMedia::installTool(u"ffprobe"_s);
        } else {
            TestMedia::removeTool(u"ffprobe"_s);
        }
        return ProbeService::probeNow(path(name), kind);
    }

    // A stand-in ffprobe that behaves badly in the way the script says.
    void installFakeFFprobe(const QByteArray& script)
    {
        TestMedia::removeTool(u"ffprobe"_s);
        const QString fake = TestFiles::write(AppPaths::binDir() + u"/ffprobe"_s, "#!/bin/sh\n" + script);
        QFile::setPermissions(fake, QFile::permissions(fake) | QFile::ExeOwner);
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
        // Only with both tools is the copy the program's own.
        QVERIFY(TestMedia::installTool(u"ffmpeg"_s));
        QVERIFY(TestMedia::videoMp4(path(u"clip.mp4"_s)));
        QVERIFY(TestMedia::mp3WithCover(path(u"song.mp3"_s)));
        QVERIFY(TestMedia::twoAudioTracks(path(u"tracks.mka"_s)));
        QVERIFY(TestMedia::wav(path(u"tone.wav"_s)));
        QVERIFY(TestMedia::unknownFrameRate(path(u"still.mpg"_s)));
        QVERIFY(TestMedia::picture(path(u"photo.jpg"_s), 64, 48));
        QVERIFY(TestMedia::pdf(path(u"doc.pdf"_s), 3));
    }

    void parseFFprobe_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<bool>("record");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("not JSON") << u"not json"_s << false << QStringList();
        QTest::newRow("an array") << u"[]"_s << false << QStringList();
        QTest::newRow("empty object") << u"{}"_s << true << QStringList();
        QTest::newRow("format") << json("{'format': {'duration': '75.4', 'bit_rate': '128000'}}") << true
                                << QStringList{u"Duration: 1:15"_s, u"Bit rate: 128 kbit/s"_s};
        QTest::newRow("unreadable format numbers")
            << json("{'format': {'duration': 'N/A', 'bit_rate': ''}}") << true << QStringList();
        QTest::newRow("cover art skipped")
            << json("{'streams': [{'codec_type': 'video', 'codec_name': 'png', 'width': 600, 'height': 600, "
                    "'disposition': {'attached_pic': 1}}, {'codec_type': 'audio', 'codec_name': 'mp3'}]}")
            << true << QStringList{u"Audio codec: mp3"_s};
        QTest::newRow("0/0 does not fall back to r_frame_rate")
            << json("{'streams': [{'codec_type': 'video', 'codec_name': 'h264', 'width': 64, 'height': 48, "
                    "'avg_frame_rate': '0/0', 'r_frame_rate': '25/1'}]}")
            << true << QStringList{u"Resolution: 64 × 48"_s, u"Video codec: h264"_s};
        QTest::newRow("r_frame_rate when avg_frame_rate is missing")
            << json("{'streams': [{'codec_type': 'video', 'codec_name': 'h264', 'r_frame_rate': '30000/1001'}]}")
            << true << QStringList{u"Video codec: h264"_s, u"Frame rate: 29.97 fps"_s};
        QTest::newRow("first video stream wins")
            << json("{'streams': [{'codec_type': 'video', 'codec_name': 'h264', 'width': 64, 'height': 48}, "
                    "{'codec_type': 'video', 'codec_name': 'hevc', 'width': 1920, 'height': 1080}]}")
            << true << QStringList{u"Resolution: 64 × 48"_s, u"Video codec: h264"_s};
        QTest::newRow("a stream without codec name lets the next one in")
            << json("{'streams': [{'codec_type': 'video', 'width': 64, 'height': 48, 'avg_frame_rate': '5/1'}, "
                    "{'codec_type': 'video', 'codec_name': 'vp9', 'width': 640, 'height': 360}]}")
            << true << QStringList{u"Resolution: 640 × 360"_s, u"Video codec: vp9"_s};
        QTest::newRow("first audio stream only")
            << json("{'streams': [{'codec_type': 'audio', 'codec_name': 'aac', 'sample_rate': '48000'}, {'codec_type': "
                    "'audio', 'codec_name': 'ac3', 'sample_rate': '44100'}]}")
            << true << QStringList{u"Audio codec: aac"_s, u"Sample rate: 48000 Hz"_s};
        QTest::newRow("sizes that are not whole numbers")
            << json("{'streams': [{'codec_type': 'video', 'codec_name': 'h264', 'width': 64.5, 'height': '48'}]}")
            << true << QStringList{u"Video codec: h264"_s};
        QTest::newRow("other stream types ignored")
            << json("{'streams': [{'codec_type': 'subtitle', 'codec_name': 'mov_text'}, {'codec_name': 'bin_data'}, "
                    "'not an object']}")
            << true << QStringList();
    }

    void parseFFprobe()
    {
        QFETCH(QString, json);
        QFETCH(bool, record);
        QFETCH(QStringList, lines);
        const std::optional<MediaFacts> facts = ProbeService::parseFFprobe(json);
        QCOMPARE(facts.has_value(), record);
        if (facts) {
            QCOMPARE(facts->source, u"ffprobe"_s);
            QCOMPARE(texts(*facts), lines);
        }
    }

    void realMedia_data()
    {
        QTest::addColumn<bool>("ffprobe");
        QTest::addColumn<QString>("name");
        QTest::addColumn<FileKind>("kind");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QStringList>("lines"); // without the bit rate, which depends on the encoder and container
        QTest::newRow("ffprobe: video") << true << u"clip.mp4"_s << FileKind::video << u"ffprobe"_s
                                        << QStringList{u"Duration: 0:02"_s,    u"Resolution: 320 × 240"_s,
                                                       u"Video codec: h264"_s, u"Frame rate: 25.00 fps"_s,
                                                       u"Audio codec: aac"_s,  u"Sample rate: 44100 Hz"_s};
        QTest::newRow("ffprobe: unknown frame rate")
            << true << u"still.mpg"_s << FileKind::video << u"ffprobe"_s
            << QStringList{u"Resolution: 64 × 48"_s, u"Video codec: mpeg2video"_s};
        QTest::newRow("libavformat: four-character codes, no sample rate")
            << false << u"clip.mp4"_s << FileKind::video << u"libavformat"_s
            << QStringList{u"Duration: 0:02"_s, u"Resolution: 320 × 240"_s, u"Video codec: avc1"_s,
                           u"Frame rate: 25.00 fps"_s, u"Audio codec: mp4a"_s};
        QTest::newRow("libavformat: cover art is not a video")
            << false << u"song.mp3"_s << FileKind::audio << u"libavformat"_s
            << QStringList{u"Duration: 0:02"_s, u"Audio codec: mp3"_s};
        QTest::newRow("libavformat: first of two audio tracks")
            << false << u"tracks.mka"_s << FileKind::audio << u"libavformat"_s
            << QStringList{u"Duration: 0:01"_s, u"Audio codec: flac"_s};
        QTest::newRow("libavformat: WAV has a number, not a code")
            << false << u"tone.wav"_s << FileKind::audio << u"libavformat"_s
            << QStringList{u"Duration: 0:01"_s, u"Audio codec: pcm_s16le"_s};
        QTest::newRow("libavformat: unknown frame rate")
            << false << u"still.mpg"_s << FileKind::video << u"libavformat"_s
            << QStringList{u"Resolution: 64 × 48"_s, u"Video codec: mpeg2video"_s};
    }

    void realMedia()
    {
        QFETCH(bool, ffprobe);
        QFETCH(QString, name);
        QFETCH(FileKind, kind);
        QFETCH(QString, source);
        QFETCH(QStringList, lines);
        const MediaFacts facts = probeWith(ffprobe, name, kind);
        QCOMPARE(facts.source, source);
        QStringList shown = texts(facts);
        shown.removeIf([](const QString& line) { return line.startsWith(u"Bit rate: "_s); });
        QCOMPARE(shown, lines);
    }

    void failingFFprobeFallsBackToTheLibrary_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::newRow("exits with 1") << QByteArray("exit 1\n");
        QTest::newRow("prints no JSON") << QByteArray("echo 'Input #0, mov'\n");
        QTest::newRow("prints invalid UTF-8") << QByteArray("printf '{\"format\": {\"duration\": \"\\377\"}}'\n");
        QTest::newRow("killed by a signal") << QByteArray("kill -SEGV $$\n");
    }

    void failingFFprobeFallsBackToTheLibrary()
    {
        QFETCH(QByteArray, script);
        installFakeFFprobe(script);
        const MediaFacts facts = ProbeService::probeNow(path(u"clip.mp4"_s), FileKind::video);
        QCOMPARE(facts.source, u"libavformat"_s);
        QCOMPARE(facts.videoCodec, u"avc1"_s);
        TestMedia::removeTool(u"ffprobe"_s);
    }

    void ffprobeIsConfinedToTheFile()
    {
        // Says 1 s when it could read the file beside the one it was given, 2 s when it could not.
        const QString beside = TestFiles::write(path(u"beside.txt"_s), "private");
        installFakeFFprobe("if cat '" + beside.toUtf8()
                           + "' >/dev/null 2>&1; then d=1; else d=2; fi\n"
                             "echo \"{\\\"format\\\": {\\\"duration\\\": \\\"$d\\\"}}\"\n");
        const std::optional<MediaFacts> facts = ProbeService::viaFFprobe(path(u"clip.mp4"_s));
        QVERIFY(facts);
        QCOMPARE(facts->duration, std::optional<double>(2.0));
        TestMedia::removeTool(u"ffprobe"_s);
    }

    void ffprobeMustBeExecutable()
    {
        installFakeFFprobe("exit 1\n");
        QFile::setPermissions(AppPaths::binDir() + u"/ffprobe"_s, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(ProbeService::viaFFprobe(path(u"clip.mp4"_s)), std::nullopt);
        TestMedia::removeTool(u"ffprobe"_s);
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* ext : {"jpg", "png", "heic", "webp"}) {
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
        const MediaFacts facts = ProbeService::probeNow(file, FileKind::image);
        QCOMPARE(facts.source, u"libvips"_s);
        QCOMPARE(texts(facts), QStringList{u"Resolution: 124 × 46"_s});
    }

    void pdfs()
    {
        QVERIFY(TestMedia::pdf(path(u"three.pdf"_s), 3));
        MediaFacts facts = ProbeService::probeNow(path(u"three.pdf"_s), FileKind::pdf);
        QCOMPARE(facts.source, u"Qt PDF"_s);
        QCOMPARE(texts(facts), QStringList{u"Pages: 3"_s});

        QVERIFY(TestFiles::runTool(
            u"/usr/bin/qpdf"_s,
            {u"--encrypt"_s, u"user"_s, u"owner"_s, u"256"_s, u"--"_s, path(u"three.pdf"_s), path(u"locked.pdf"_s)}));
        facts = ProbeService::probeNow(path(u"locked.pdf"_s), FileKind::pdf);
        QCOMPARE(facts.source, u"Qt PDF"_s);
        QCOMPARE(texts(facts), QStringList());
    }

    void otherKindsAreNotRead()
    {
        for (FileKind kind : {FileKind::archive, FileKind::folder, FileKind::other}) {
            QCOMPARE(ProbeService::probeNow(path(u"clip.mp4"_s), kind), MediaFacts());
        }
    }

    // Damaged and hostile files give fewer lines or none, and every probe returns.
    void badInput_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<FileKind>("kind");
        QTest::addColumn<QStringList>("allowed"); // the labels that may still be shown
        QTest::newRow("truncated video") << u"truncated.mp4"_s << FileKind::video
                                         << QStringList{u"Duration"_s,   u"Resolution"_s,  u"Video codec"_s,
                                                        u"Frame rate"_s, u"Audio codec"_s, u"Sample rate"_s,
                                                        u"Bit rate"_s};
        QTest::newRow("text named .mp4") << u"text.mp4"_s << FileKind::video << QStringList();
        QTest::newRow("zero-byte picture") << u"empty.jpg"_s << FileKind::image << QStringList();
        QTest::newRow("SVG named .png") << u"drawing.png"_s << FileKind::image << QStringList();
        QTest::newRow("broken PDF") << u"broken.pdf"_s << FileKind::pdf << QStringList();
        QTest::newRow("named pipe as video") << u"pipe.mp4"_s << FileKind::video << QStringList();
        QTest::newRow("named pipe as picture") << u"pipe.jpg"_s << FileKind::image << QStringList();
        QTest::newRow("named pipe as PDF") << u"pipe.pdf"_s << FileKind::pdf << QStringList();
        QTest::newRow("4 GB of nothing as video") << u"sparse.mp4"_s << FileKind::video << QStringList();
        QTest::newRow("4 GB of nothing as picture") << u"sparse.jpg"_s << FileKind::image << QStringList();
        QTest::newRow("4 GB of nothing as PDF") << u"sparse.pdf"_s << FileKind::pdf << QStringList();
        QTest::newRow("missing file") << u"gone.mp4"_s << FileKind::video << QStringList();
    }

    void badInput()
    {
        QFETCH(QString, name);
        QFETCH(FileKind, kind);
        QFETCH(QStringList, allowed);
        const QString file = path(name);
        if (name == u"truncated.mp4"_s) {
            QFile clip(path(u"clip.mp4"_s));
            QVERIFY(clip.open(QIODevice::ReadOnly));
            TestFiles::write(file, clip.read(clip.size() / 3));
        } else if (name.startsWith(u"text."_s)) {
            TestFiles::write(file, "This is not a picture or a film.\n");
        } else if (name == u"drawing.png"_s) {
            TestFiles::write(file, "<svg xmlns='http://www.w3.org/2000/svg' width='9' height='9'/>");
        } else if (name == u"broken.pdf"_s) {
            TestFiles::write(file, "%PDF-1.7\n1 0 obj << /Type /Catalog /Pages 2 0 R >>\nendobj\ntrailer garbage");
        } else if (name.startsWith(u"pipe."_s)) {
            QCOMPARE(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        } else if (name.startsWith(u"sparse."_s)) {
            QFile sparse(file);
            QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(4LL << 30));
        } else if (name == u"empty.jpg"_s) {
            TestFiles::write(file);
        }
        for (bool ffprobe : {true, false}) {
            const MediaFacts facts = probeWith(ffprobe, name, kind);
            for (const QString& label : labels(facts)) {
                QVERIFY2(allowed.contains(label), qPrintable(label));
            }
        }
        QFile::remove(file);
    }

    // The window reads facts through the helper program; they must arrive whole and unchanged.
    void theHelperGivesTheSameFacts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<FileKind>("kind");
        QTest::newRow("video, by libavformat") << u"clip.mp4"_s << FileKind::video;
        QTest::newRow("audio") << u"song.mp3"_s << FileKind::audio;
        QTest::newRow("picture") << u"photo.jpg"_s << FileKind::image;
        QTest::newRow("PDF") << u"doc.pdf"_s << FileKind::pdf;
    }

    void theHelperGivesTheSameFacts()
    {
        QFETCH(QString, name);
        QFETCH(FileKind, kind);
        TestMedia::removeTool(u"ffprobe"_s);
        const MediaFacts direct = ProbeService::probeNow(path(name), kind);
        QVERIFY(!direct.lines().isEmpty());
        QCOMPARE(viaHelper(path(name), kind), direct);
    }

    void aFileTheHelperCannotReadHasNoFacts()
    {
        QCOMPARE(viaHelper(path(u"missing.mp4"_s), FileKind::video), MediaFacts());
    }

    void jsonKeepsEveryFact()
    {
        MediaFacts facts;
        facts.duration = 12.345678901234;
        facts.width = 1920;
        facts.height = 1080;
        facts.videoCodec = u"h264"_s;
        facts.audioCodec = u"aac"_s;
        facts.bitRate = 4'500'000'123;
        facts.frameRate = u"29.97 fps"_s;
        facts.sampleRate = u"48000 Hz"_s;
        facts.pages = 0;
        facts.source = u"ffprobe"_s;
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
