#include "QtPlayerBackend.h"

#include <QUrl>
#include <QVideoWidget>

QtPlayerBackend::QtPlayerBackend(const QString& path, const std::function<void()>& changed)
{
    m_player.setAudioOutput(&m_audio);
    m_player.setSource(QUrl::fromLocalFile(path));
    // The player is the context: no call reaches `changed` once it is gone.
    const auto tell = [changed] { changed(); };
    QObject::connect(&m_player, &QMediaPlayer::positionChanged, &m_player, tell);
    QObject::connect(&m_player, &QMediaPlayer::durationChanged, &m_player, tell);
    QObject::connect(&m_player, &QMediaPlayer::playbackStateChanged, &m_player, tell);
    // A stopped player draws nothing; paused, it decodes and shows the first frame.
    QObject::connect(&m_player, &QMediaPlayer::mediaStatusChanged, &m_player, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::LoadedMedia && m_player.playbackState() == QMediaPlayer::StoppedState) {
            m_player.pause();
        }
    });
}

void QtPlayerBackend::play()
{
    m_player.play();
}

void QtPlayerBackend::pause()
{
    m_player.pause();
}

bool QtPlayerBackend::isPlaying() const
{
    return m_player.playbackState() == QMediaPlayer::PlayingState;
}

qint64 QtPlayerBackend::positionMs() const
{
    return m_player.position();
}

qint64 QtPlayerBackend::durationMs() const
{
    return m_player.duration();
}

void QtPlayerBackend::setPositionMs(qint64 ms)
{
    m_player.setPosition(ms);
}

void QtPlayerBackend::setVideoView(QObject* view)
{
    m_player.setVideoOutput(view);
}

PlayerBackend* QtPlayerPlugin::makePlayer(const QString& path, const std::function<void()>& changed)
{
    return new QtPlayerBackend(path, changed);
}

QWidget* QtPlayerPlugin::makeVideoView(QWidget* parent)
{
    return new QVideoWidget(parent);
}
