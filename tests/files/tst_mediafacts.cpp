#include "TableCheck.h"
#include "TestMain.h"
#include "files/MediaFacts.h"

#include <QTest>

using namespace Qt::StringLiterals;

static QStringList texts(const QList<FactLine>& lines)
{
    QStringList list;
    for (const FactLine& line : lines) {
        list << line.label + u": "_s + line.value;
    }
    return list;
}

class TestMediaFacts : public QObject
{
    Q_OBJECT

private slots:
    // Facts in their fixed order; a zero is still a fact, a resolution needs both sides.
    void lines_data()
    {
        QTest::addColumn<MediaFacts>("facts");
        QTest::addColumn<QStringList>("lines");
        const MediaFacts all{.duration = 3599.6,
                             .width = 1920,
                             .height = 1080,
                             .videoCodec = u"h264"_s,
                             .audioCodec = u"aac"_s,
                             .bitRate = 2'500'000,
                             .frameRate = u"29.97 fps"_s,
                             .sampleRate = u"48000 Hz"_s,
                             .pages = 12,
                             .source = u"ffprobe"_s};
        QTest::newRow("every fact") << all << QStringList{u"Duration: 1:00:00"_s,    u"Resolution: 1920 × 1080"_s,
                                                          u"Video codec: h264"_s,    u"Frame rate: 29.97 fps"_s,
                                                          u"Audio codec: aac"_s,     u"Sample rate: 48000 Hz"_s,
                                                          u"Bit rate: 2.5 Mbit/s"_s, u"Pages: 12"_s};
        MediaFacts zeros;
        zeros.duration = 59.5;
        zeros.bitRate = 0;
        zeros.pages = 0;
        QTest::newRow("zeros") << zeros << QStringList{u"Duration: 1:00"_s, u"Bit rate: 0 kbit/s"_s, u"Pages: 0"_s};
        MediaFacts width;
        width.width = 640;
        QTest::newRow("width alone") << width << QStringList();
        MediaFacts height;
        height.height = 480;
        QTest::newRow("height alone") << height << QStringList();
    }

    void lines()
    {
        QFETCH(MediaFacts, facts);
        QFETCH(QStringList, lines);
        QCOMPARE(texts(facts.lines()), lines);
    }

    void frameRateText_data()
    {
        QTest::addColumn<QString>("rational");
        QTest::addColumn<QString>("text"); // empty: no frame rate
        QTest::newRow("0/0") << u"0/0"_s << QString();
        QTest::newRow("zero denominator") << u"25/0"_s << QString();
        QTest::newRow("negative") << u"-25/1"_s << QString();
        QTest::newRow("one piece") << u"25"_s << QString();
        QTest::newRow("infinite quotient") << u"1e308/1e-308"_s << QString();
        QTest::newRow("not a number") << u"nan/1"_s << QString();
        QTest::newRow("30000/1001") << u"30000/1001"_s << u"29.97 fps"_s;
        QTest::newRow("empty pieces dropped") << u"/24000//1001/"_s << u"23.98 fps"_s;
    }

    void frameRateText()
    {
        QFETCH(QString, rational);
        QFETCH(QString, text);
        QCOMPARE(MediaFacts::frameRateText(rational), text.isEmpty() ? std::nullopt : std::optional(text));
    }

    void fourCC_data()
    {
        QTest::addColumn<quint32>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("high byte") << quint32(0x61766380) << u"unknown"_s;
        QTest::newRow("NUL byte") << quint32(0x00000001) << u"unknown"_s;
        QTest::newRow("all spaces") << quint32(0x20202020) << u"unknown"_s;
        QTest::newRow("avc1") << quint32(0x61766331) << u"avc1"_s;
        QTest::newRow("trailing space trimmed") << quint32(0x6d703320) << u"mp3"_s;
        QTest::newRow("leading space trimmed") << quint32(0x20616333) << u"ac3"_s;
    }

    void fourCC() { checkRow<quint32, QString>(&MediaFacts::fourCC); }
};

TRELLICK_TEST_MAIN(TestMediaFacts)
#include "tst_mediafacts.moc"
