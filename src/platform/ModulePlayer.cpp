#include "ModulePlayer.h"

#include <QWidget>
#include <cmath>

ModulePlayer::ModulePlayer(const QString& path, PlayerPlugin& module, QObject* parent)
    : MediaPlayer(parent)
    , m_path(path)
    , m_backend(module.makePlayer(path, [this] { emit changed(); }))
{
}

ModulePlayer::~ModulePlayer() = default;

QString ModulePlayer::path() const
{
    return m_path;
}

void ModulePlayer::play()
{
    m_backend->play();
}

void ModulePlayer::pause()
{
    m_backend->pause();
}

bool ModulePlayer::isPlaying() const
{
    return m_backend->isPlaying();
}

double ModulePlayer::position() const
{
    return static_cast<double>(m_backend->positionMs()) / 1000.0;
}

double ModulePlayer::duration() const
{
    return static_cast<double>(m_backend->durationMs()) / 1000.0;
}

void ModulePlayer::seek(double seconds)
{
    m_backend->setPositionMs(std::llround(seconds * 1000.0));
}

void ModulePlayer::setVideoView(QWidget* view)
{
    m_backend->setVideoView(view);
}
