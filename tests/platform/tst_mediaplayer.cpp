#include "TestMedia.h"
#include "platform/QtMediaPlayer.h"

#include <QMediaPlayer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;

class TestMediaPlayer : public QObject
{
    Q_OBJECT

private slots:
    void playsTheFileItWasMadeFor()
    {
        QTemporaryDir dir;
        const QString clip = dir.filePath(u"clip.mp4"_s);
        QVERIFY(TestMedia::videoMp4(clip));
        QObject owner;
        MediaPlayer* player = QtMediaPlayer::create(clip, &owner);
        QCOMPARE(player->parent(), &owner);
        QCOMPARE(player->path(), clip);
        QCOMPARE(player->mediaPlayer()->source(), QUrl::fromLocalFile(clip));
        QCOMPARE(player->position(), 0.0);
        player->pause();
        QCOMPARE(player->mediaPlayer()->playbackState(), QMediaPlayer::PausedState);
    }
};

QTEST_MAIN(TestMediaPlayer)
#include "tst_mediaplayer.moc"
