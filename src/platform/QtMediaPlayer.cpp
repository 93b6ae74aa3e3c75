#include "QtMediaPlayer.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QUrl>

QtMediaPlayer::QtMediaPlayer(const QString& path, QObject* parent)
    : MediaPlayer(parent)
    , m_path(path)
    , m_player(new QMediaPlayer(this))
    , m_audio(new QAudioOutput(this))
{
    m_player->setAudioOutput(m_audio);
    m_player->setSource(QUrl::fromLocalFile(path));
}

MediaPlayer* QtMediaPlayer::create(const QString& path, QObject* parent)
{
    return new QtMediaPlayer(path, parent);
}

QString QtMediaPlayer::path() const
{
    return m_path;
}

void QtMediaPlayer::pause()
{
    m_player->pause();
}

double QtMediaPlayer::position() const
{
    return static_cast<double>(m_player->position()) / 1000.0;
}

QMediaPlayer* QtMediaPlayer::mediaPlayer() const
{
    return m_player;
}
