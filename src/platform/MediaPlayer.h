#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QMediaPlayer;

// The inline player for a single video or audio file. The application only ever pauses it and reads the
// playback position; the window drives playback through the Qt player behind it.
class MediaPlayer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QString path() const = 0;
    virtual void pause() = 0;
    // The playback position in seconds.
    virtual double position() const = 0;
    // The Qt Multimedia player that the window connects its video output and controls to; none for fakes.
    virtual QMediaPlayer* mediaPlayer() const = 0;
};

// Makes a player for a file, owned by `parent`.
using MediaPlayerFactory = std::function<MediaPlayer*(const QString& path, QObject* parent)>;
