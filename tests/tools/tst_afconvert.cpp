#include "StandIns.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestAfconvert : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_stereo; // 3 s, 44.1 kHz, 16-bit, tagged with a title and an artist
    QString m_surround; // 2 s, 48 kHz, 24-bit, 5.1

    QString at(const QString& name) const { return m_dir.filePath(name); }

    // ffprobe's view of the first audio stream, with the file's format and tags folded in.
    static QJsonObject probe(const QString& path)
    {
        const QString json = StandIns::output(
            u"ffprobe"_s, {u"-v"_s, u"error"_s, u"-show_format"_s, u"-show_streams"_s, u"-of"_s, u"json"_s, path});
        const QJsonObject root = QJsonDocument::fromJson(json.toUtf8()).object();
        QJsonObject stream = root.value(u"streams"_s).toArray().first().toObject();
        const QJsonObject format = root.value(u"format"_s).toObject();
        stream.insert(u"format_name"_s, format.value(u"format_name"_s));
        stream.insert(u"duration"_s, format.value(u"duration"_s));
        stream.insert(u"title"_s, format.value(u"tags"_s).toObject().value(u"title"_s));
        return stream;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_stereo = at(u"song.wav"_s);
        QVERIFY(TestFiles::runTool(u"ffmpeg"_s,
                                   {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=f=440:d=3"_s, u"-ac"_s,
                                    u"2"_s, u"-metadata"_s, u"title=Grüße aus Köln"_s, u"-metadata"_s, u"artist=Band"_s,
                                    u"-c:a"_s, u"pcm_s16le"_s, m_stereo}));
        m_surround = at(u"surround.wav"_s);
        QVERIFY(TestFiles::runTool(
            u"ffmpeg"_s,
            {u"-v"_s, u"error"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"sine=f=220:d=2:sample_rate=48000"_s, u"-af"_s,
             u"pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0"_s, u"-c:a"_s, u"pcm_s24le"_s, m_surround}));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("words");
        QTest::newRow("unknown option") << QStringList{u"-x"_s, u"{input}"_s, u"{output}"_s}
                                        << u"Unrecognized option"_s;
        QTest::newRow("no output") << QStringList{u"-f"_s, u"WAVE"_s, u"{input}"_s} << u"exactly one input"_s;
        QTest::newRow("unknown file type")
            << QStringList{u"-f"_s, u"MPG3"_s, u"{input}"_s, u"{output}"_s} << u"not supported"_s;
        QTest::newRow("unknown data format")
            << QStringList{u"-d"_s, u"mp3"_s, u"{input}"_s, u"{output}"_s} << u"not supported"_s;
        QTest::newRow("data format the type cannot hold")
            << QStringList{u"-f"_s, u"m4af"_s, u"-d"_s, u"LEI16"_s, u"{input}"_s, u"{output}"_s}
            << u"cannot be written"_s;
        QTest::newRow("quality out of range")
            << QStringList{u"-q"_s, u"128"_s, u"{input}"_s, u"{output}"_s} << u"from 0 to 127"_s;
        QTest::newRow("missing input") << QStringList{u"gone.wav"_s, u"{output}"_s} << u"No such file"_s;
        QTest::newRow("output exists") << QStringList{u"{input}"_s, u"{input}"_s} << u"already exists"_s;
    }

    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, words);
        const QString output = at(u"refused.m4a"_s);
        const QByteArray before = TestFiles::read(m_stereo);
        QStringList final;
        for (const QString& arg : args) {
            final << (arg == u"{input}"_s ? m_stereo : arg == u"{output}"_s ? output : arg);
        }
        const ProcResult r = StandIns::run(u"afconvert"_s, final);
        QVERIFY2(StandIns::refused(r, u"Error: "_s, words), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(output));
        QCOMPARE(TestFiles::read(m_stereo), before);
    }

    // The audio-format dialog's commands, exactly as the application builds them, then what plans ask for.
    void converts_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("facts"); // format, codec, channels, layout (none in a plain WAV), rate, FLAC bits
        const QString song = u"song.wav"_s;
        QTest::newRow("m4a") << song << QStringList{u"-f"_s, u"m4af"_s, u"-d"_s, u"aac"_s, u"-b"_s, u"192000"_s}
                             << u"song (converted).m4a"_s << u"mov,mp4,m4a,3gp,3g2,mj2 aac 2 stereo 44100"_s;
        QTest::newRow("wav") << song << QStringList{u"-f"_s, u"WAVE"_s, u"-d"_s, u"LEI16"_s}
                             << u"song (converted).wav"_s << u"wav pcm_s16le 2  44100"_s;
        QTest::newRow("flac") << song << QStringList{u"-f"_s, u"flac"_s, u"-d"_s, u"flac"_s}
                              << u"song (converted).flac"_s << u"flac flac 2 stereo 44100 16"_s;
        // What another conversion wrote is read as well.
        QTest::newRow("m4a to wav") << u"song (converted).m4a"_s << QStringList{u"-f"_s, u"WAVE"_s, u"-d"_s, u"LEI16"_s}
                                    << u"m4a.wav"_s << u"wav pcm_s16le 2  44100"_s;
        const QString surround = u"surround.wav"_s;
        QTest::newRow("5.1 to AAC") << surround << QStringList{u"-f"_s, u"m4af"_s, u"-d"_s, u"aac"_s} << u"s.m4a"_s
                                    << u"mov,mp4,m4a,3gp,3g2,mj2 aac 6 5.1 48000"_s;
        QTest::newRow("5.1 to FLAC keeps 24 bits")
            << surround << QStringList{u"-d"_s, u"flac"_s} << u"s.flac"_s << u"flac flac 6 5.1 48000 24"_s;
        QTest::newRow("down to stereo") << surround << QStringList{u"-f"_s, u"WAVE"_s, u"-c"_s, u"2"_s} << u"s2.wav"_s
                                        << u"wav pcm_s24le 2 stereo 48000"_s;
        QTest::newRow("mono at a new rate")
            << surround
            << QStringList{u"-f"_s, u"caff"_s, u"-d"_s, u"LEI24@22050"_s, u"-c"_s, u"1"_s, u"-r"_s, u"127"_s}
            << u"s1.caf"_s << u"caf pcm_s24le 1 mono 22050"_s;
        QTest::newRow("ADTS with every encoder option")
            << surround << QStringList{u"-f"_s, u"adts"_s, u"-d"_s, u"aac@44100"_s, u"-b"_s, u"96000"_s, u"-q"_s,
                                       u"10"_s, u"-s"_s,   u"0"_s,  u"-c"_s,        u"2"_s,  u"-v"_s}
            << u"s.aac"_s << u"aac aac 2 stereo 44100"_s;
        QTest::newRow("AIFC") << surround << QStringList{u"-f"_s, u"AIFC"_s, u"-d"_s, u"BEI16"_s, u"-c"_s, u"2"_s}
                              << u"s.aifc"_s << u"aiff pcm_s16be 2  48000"_s; // AIFF files store no channel layout
    }

    void converts()
    {
        QFETCH(QString, input);
        QFETCH(QStringList, options);
        QFETCH(QString, output);
        QFETCH(QString, facts);
        const ProcResult r = StandIns::run(u"afconvert"_s, options + QStringList{at(input), at(output)});
        QVERIFY2(r.status == 0 && r.err.isEmpty(), qPrintable(r.err));
        const QJsonObject probed = probe(at(output));
        QStringList seen;
        for (const char* key : {"format_name", "codec_name", "channels", "channel_layout", "sample_rate"}) {
            seen << probed.value(QLatin1String(key)).toVariant().toString();
        }
        if (output.endsWith(u".flac"_s)) {
            seen << probed.value(u"bits_per_raw_sample"_s).toString();
        }
        QCOMPARE(seen.join(u' '), facts);
        if (input.startsWith(u"song"_s)) {
            QVERIFY(qAbs(probed.value(u"duration"_s).toString().toDouble() - 3.0) < 0.05);
            QCOMPARE(probed.value(u"title"_s).toString(), u"Grüße aus Köln"_s);
        }
        if (options.contains(u"192000"_s)) {
            QVERIFY(qAbs(probed.value(u"bit_rate"_s).toString().toDouble() - 192000) < 192000 * 0.1);
        }
        QCOMPARE(r.out.contains(u"Output file"_s), options.contains(u"-v"_s));
    }
};

TRELLICK_TEST_MAIN(TestAfconvert)
#include "tst_afconvert.moc"
