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
        const QByteArray before = StandIns::digest(m_stereo);
        QStringList final;
        for (const QString& arg : args) {
            final << (arg == u"{input}"_s ? m_stereo : arg == u"{output}"_s ? output : arg);
        }
        const ProcResult r = StandIns::run(u"afconvert"_s, final);
        QVERIFY(r.status != 0);
        QVERIFY2(r.err.contains(words), qPrintable(r.err));
        QCOMPARE(r.err.count(u'\n'), 1);
        QVERIFY(!QFileInfo::exists(output));
        QCOMPARE(StandIns::digest(m_stereo), before);
    }

    // The commands of the audio-format dialog, exactly as the application builds them.
    void convertsLikeTheFormatDialog_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("format");
        QTest::newRow("m4a") << QStringList{u"-f"_s, u"m4af"_s, u"-d"_s, u"aac"_s, u"-b"_s, u"192000"_s}
                             << u"song (converted).m4a"_s << u"aac"_s << u"mov,mp4,m4a,3gp,3g2,mj2"_s;
        QTest::newRow("wav") << QStringList{u"-f"_s, u"WAVE"_s, u"-d"_s, u"LEI16"_s} << u"song (converted).wav"_s
                             << u"pcm_s16le"_s << u"wav"_s;
        QTest::newRow("flac") << QStringList{u"-f"_s, u"flac"_s, u"-d"_s, u"flac"_s} << u"song (converted).flac"_s
                              << u"flac"_s << u"flac"_s;
    }

    void convertsLikeTheFormatDialog()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, name);
        QFETCH(QString, codec);
        QFETCH(QString, format);
        // An .m4a input too, so that each conversion also reads what another one wrote.
        for (const QString& input : {m_stereo, at(u"song (converted).m4a"_s)}) {
            if (!QFileInfo::exists(input)) {
                continue;
            }
            const QString output = at(QFileInfo(input).suffix() + u"-"_s + name);
            const ProcResult r = StandIns::run(u"afconvert"_s, options + QStringList{input, output});
            QCOMPARE(r.err, QString());
            QCOMPARE(r.status, 0);
            const QJsonObject facts = probe(output);
            QCOMPARE(facts.value(u"codec_name"_s).toString(), codec);
            QCOMPARE(facts.value(u"format_name"_s).toString(), format);
            QCOMPARE(facts.value(u"channels"_s).toInt(), 2);
            QCOMPARE(facts.value(u"sample_rate"_s).toString(), u"44100"_s);
            QVERIFY(qAbs(facts.value(u"duration"_s).toString().toDouble() - 3.0) < 0.05);
            QCOMPARE(facts.value(u"title"_s).toString(), u"Grüße aus Köln"_s);
            if (codec == u"aac"_s) {
                QVERIFY(qAbs(facts.value(u"bit_rate"_s).toString().toDouble() - 192000) < 192000 * 0.1);
            }
        }
    }

    void keepsAndChangesChannels_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("rate");
        QTest::newRow("5.1 to AAC") << QStringList{u"-f"_s, u"m4af"_s, u"-d"_s, u"aac"_s} << u"s.m4a"_s << 6 << u"5.1"_s
                                    << u"48000"_s;
        QTest::newRow("5.1 to FLAC keeps 24 bits")
            << QStringList{u"-d"_s, u"flac"_s} << u"s.flac"_s << 6 << u"5.1"_s << u"48000"_s;
        QTest::newRow("down to stereo") << QStringList{u"-f"_s, u"WAVE"_s, u"-c"_s, u"2"_s} << u"s2.wav"_s << 2
                                        << u"stereo"_s << u"48000"_s;
        QTest::newRow("mono at a new rate")
            << QStringList{u"-f"_s, u"caff"_s, u"-d"_s, u"LEI24@22050"_s, u"-c"_s, u"1"_s, u"-r"_s, u"127"_s}
            << u"s1.caf"_s << 1 << u"mono"_s << u"22050"_s;
        QTest::newRow("ADTS with every encoder option")
            << QStringList{u"-f"_s, u"adts"_s, u"-d"_s, u"aac@44100"_s, u"-b"_s, u"96000"_s, u"-q"_s,
                           u"10"_s, u"-s"_s,   u"0"_s,  u"-c"_s,        u"2"_s,  u"-v"_s}
            << u"s.aac"_s << 2 << u"stereo"_s << u"44100"_s;
        QTest::newRow("AIFC") << QStringList{u"-f"_s, u"AIFC"_s, u"-d"_s, u"BEI16"_s, u"-c"_s, u"2"_s} << u"s.aifc"_s
                              << 2 << QString() << u"48000"_s; // AIFF files store no channel layout
    }

    void keepsAndChangesChannels()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, name);
        QFETCH(int, channels);
        QFETCH(QString, layout);
        QFETCH(QString, rate);
        const QString output = at(name);
        const ProcResult r = StandIns::run(u"afconvert"_s, options + QStringList{m_surround, output});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.status, 0);
        const QJsonObject facts = probe(output);
        QCOMPARE(facts.value(u"channels"_s).toInt(), channels);
        QCOMPARE(facts.value(u"channel_layout"_s).toString(), layout);
        QCOMPARE(facts.value(u"sample_rate"_s).toString(), rate);
        if (name.endsWith(u".flac"_s)) {
            QCOMPARE(facts.value(u"bits_per_raw_sample"_s).toString(), u"24"_s);
        }
        if (options.contains(u"-v"_s)) {
            QVERIFY(r.out.contains(u"Output file"_s));
        }
    }
};

TRELLICK_TEST_MAIN(TestAfconvert)
#include "tst_afconvert.moc"
