#include "TestFiles.h"
#include "TestMain.h"
#include "ai/AIPrompts.h"
#include "base/FFmpegTools.h"
#include "files/Format.h"
#include "plans/PlanParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

FileDetails video()
{
    FileDetails details;
    details.path = u"/home/ann/Videos/holiday.mp4"_s;
    details.name = u"holiday.mp4"_s;
    details.ext = u"mp4"_s;
    details.kind = FileKind::video;
    details.sizeText = u"48.2 MB"_s;
    details.facts.duration = 330.4;
    details.facts.width = 1920;
    details.facts.height = 1080;
    details.facts.videoCodec = u"h264"_s;
    details.facts.frameRate = u"29.97 fps"_s;
    details.facts.audioCodec = u"aac"_s;
    details.facts.sampleRate = u"48000 Hz"_s;
    details.facts.bitRate = 1'170'000;
    details.facts.source = u"ffprobe"_s;
    return details;
}

} // namespace

class TestAIPrompts : public QObject
{
    Q_OBJECT

private slots:
    void planSystemPromptExampleIsAValidAnswer()
    {
        const QStringList lines = AIPrompts::planSystem().split(u'\n');
        QVERIFY(lines.size() > 3);
        // The example the model copies must itself be a valid answer.
        QJsonParseError error;
        const QJsonDocument example = QJsonDocument::fromJson(lines[3].toUtf8(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(example.object().value(u"options"_s).toArray().size(), 1);
        // ... and one the plan checker accepts, or the prompt would teach a refused answer.
        QTemporaryDir dir;
        const QString input = TestFiles::write(dir.filePath(u"holiday.mp4"_s), "not really a video");
        const Result<AIPlanResponse, PlanError> parsed = PlanParser::parse(lines[3]);
        QVERIFY(parsed.ok());
        const Result<QList<ResolvedOption>, PlanError> resolved = PlanParser::resolve(parsed.value().options, input);
        QVERIFY2(resolved.ok(), qPrintable(resolved.ok() ? QString() : resolved.error().message));
    }

    void planSystemPromptDescribesTheFFmpegInUse_data()
    {
        QTest::addColumn<QByteArray>("version");
        QTest::addColumn<QStringList>("encoders");
        QTest::addColumn<QString>("rule");
        const QString none = u". There are no hardware encoders and no hardware acceleration."_s;
        QTest::newRow("checked, with some encoders")
            << QByteArray("6.1.2") << QStringList{u"aac"_s, u"h264_nvenc"_s, u"libx264"_s, u"libwebp"_s}
            << u"- This computer runs Linux with ffmpeg 6.1. Only software encoders are available: libx264, aac"_s
                + none;
        QTest::newRow("development build") << QByteArray("N-118000-g1234abcd") << QStringList{u"flac"_s}
                                           << u"- This computer runs Linux with ffmpeg. Only software encoders are "
                                              "available: flac"_s
                + none;
        // Still to be downloaded: the build that comes has them all.
        QTest::newRow("none yet") << QByteArray() << QStringList{}
                                  << u"- This computer runs Linux with ffmpeg. Only software encoders are available: "
                                     "libx264, libx265, libvpx-vp9, libaom-av1, aac, libmp3lame, libopus, flac"_s
                + none;
    }

    void planSystemPromptDescribesTheFFmpegInUse()
    {
        QFETCH(QByteArray, version);
        QFETCH(QStringList, encoders);
        QFETCH(QString, rule);
        QTemporaryDir dir;
        const TestFiles::ScopedPath path(dir.path());
        if (!version.isEmpty()) {
            QVERIFY(path.writeTools(version, encoders));
        }
        FFmpegTools::checkNow();
        const QStringList lines = AIPrompts::planSystem().split(u'\n');
        QCOMPARE(lines.size(), 24);
        QCOMPARE(lines[0],
                 u"You turn a user's plain-words request about ONE file on a Linux computer into command-line "
                 "steps. Reply with JSON only, no prose, no code fences."_s);
        QCOMPARE(lines[16], rule);
    }

    void userMessageOfAVideo()
    {
        QCOMPARE(AIPrompts::user(u"Keep from 0:10 to 0:40"_s, u"Trim the video"_s, video()),
                 u"Request: Keep from 0:10 to 0:40\n"
                 u"Kind of task: Trim the video\n"
                 u"File name: holiday.mp4\n"
                 u"Extension: mp4\n"
                 u"Size: 48.2 MB\n"
                 u"Kind: Video\n"
                 u"Facts:\n"
                 u"- Duration: 5:30\n"
                 u"- Resolution: 1920 × 1080\n"
                 u"- Video codec: h264\n"
                 u"- Frame rate: 29.97 fps\n"
                 u"- Audio codec: aac\n"
                 u"- Sample rate: 48000 Hz\n"
                 u"- Bit rate: 1.2 Mbit/s"_s);
    }

    void plainFileWithoutTaskExtensionOrFacts()
    {
        FileDetails notes;
        notes.name = u"README"_s;
        notes.kind = FileKind::other;
        notes.sizeText = u"2 KB"_s;
        QCOMPARE(AIPrompts::user(u"(your request will appear here)"_s, QString(), notes),
                 u"Request: (your request will appear here)\nFile name: README\nExtension: (none)\nSize: 2 KB\n"
                 u"Kind: File"_s);
    }

    void renameMessageNumbersTheFiles()
    {
        QCOMPARE(AIPrompts::renameUser(u"Add the date"_s,
                                       {u"/tmp/a/IMG_0001.HEIC"_s, u"/tmp/b/notes.txt"_s, u"/tmp/a/No extension"_s}),
                 u"Request: Add the date\nToday's date: "_s + Format::today()
                     + u"\nFiles:\n1. IMG_0001.HEIC\n2. notes.txt\n3. No extension"_s);
    }

    void previewShowsExactlyWhatIsSent()
    {
        QCOMPARE(AIPrompts::preview(u"Ollama (no model chosen)"_s, u"SYS"_s, u"USER"_s),
                 u"Sent to: Ollama (no model chosen)\n\nInstructions (the same every time):\nSYS\n\n"
                 u"Your message:\nUSER\n\nThe file itself is never sent. Only the text above."_s);
    }
};

TRELLICK_TEST_MAIN(TestAIPrompts)
#include "tst_aiprompts.moc"
