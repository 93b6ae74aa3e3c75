#include "TestMain.h"
#include "TestMedia.h"
#include "platform/PlayerModule.h"

#include <QLibraryInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>
#include <QWidget>

using namespace Qt::StringLiterals;

class TestMediaPlayer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_clip;

private slots:
    void initTestCase()
    {
        m_clip = m_dir.filePath(u"clip.mp4"_s);
        QVERIFY(TestMedia::videoMp4(m_clip));
    }

    void playsTheFileItWasMadeFor()
    {
        QObject owner;
        MediaPlayer* player = PlayerModule::create(m_clip, &owner);
        QVERIFY2(player, "the player module beside the test did not load");
        QCOMPARE(player->parent(), &owner);
        QCOMPARE(player->path(), m_clip);
        QCOMPARE(player->position(), 0.0);
        QSignalSpy changed(player, &MediaPlayer::changed);
        QWidget window;
        auto* view = qobject_cast<QVideoWidget*>(PlayerModule::videoView(&window));
        QVERIFY(view);
        QCOMPARE(view->parent(), &window);
        // Attached at once, as the window does when the file is chosen: the first frame shows before play.
        player->setVideoView(view);
        QTRY_VERIFY(view->videoSink()->videoFrame().isValid());
        QVERIFY(!player->isPlaying());
        // The clip is two seconds long; its length is known once the back end has opened it.
        QTRY_VERIFY(player->duration() > 1.5 && player->duration() < 2.5);
        QVERIFY(!changed.isEmpty());
        player->seek(1.0);
        QTRY_COMPARE(player->position(), 1.0);
        player->pause();
        QVERIFY(!player->isPlaying());
        player->setVideoView(nullptr);
    }

    void noUsableModuleMeansNoPlayer_data()
    {
        QTest::addColumn<QString>("module");
        QTest::newRow("missing") << m_dir.filePath(u"missing.so"_s);
        QTest::newRow("not a library") << m_clip;
        QTest::newRow("a plugin of another kind")
            << QLibraryInfo::path(QLibraryInfo::PluginsPath) + u"/platforms/libqoffscreen.so"_s;
    }

    void noUsableModuleMeansNoPlayer()
    {
        QFETCH(QString, module);
        QObject owner;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"^The player module .* could not be loaded"_s));
        QCOMPARE(PlayerModule::factory(module)(m_clip, &owner), nullptr);
        QVERIFY(owner.children().isEmpty());
    }
};

TRELLICK_TEST_MAIN(TestMediaPlayer)
#include "tst_mediaplayer.moc"
