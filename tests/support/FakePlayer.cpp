#include "FakePlayer.h"

FakePlayer::FakePlayer(const QString& path, QObject* parent)
    : MediaPlayer(parent)
    , m_path(path)
{
}

QString FakePlayer::path() const
{
    return m_path;
}

void FakePlayer::play()
{
    playing = true;
    paused = false;
    emit changed();
}

void FakePlayer::pause()
{
    playing = false;
    paused = true;
    emit changed();
}

bool FakePlayer::isPlaying() const
{
    return playing;
}

double FakePlayer::position() const
{
    return seconds;
}

double FakePlayer::duration() const
{
    return 60;
}

void FakePlayer::seek(double to)
{
    seconds = to;
    emit changed();
}

void FakePlayer::setVideoView(QWidget*) { }
