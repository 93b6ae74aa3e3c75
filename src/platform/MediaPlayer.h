#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

// The inline player for a single video or audio file. The application pauses it and reads the playback
// position; the window drives playback through it and shows its picture.
class MediaPlayer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QString path() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual bool isPlaying() const = 0;
    // The playback position and the length, in seconds.
    virtual double position() const = 0;
    virtual double duration() const = 0;
    virtual void seek(double seconds) = 0;
    // Draws the picture into `view`, a widget from PlayerModule::videoView; none stops drawing.
    virtual void setVideoView(QWidget* view) = 0;

signals:
    // The position, the length or whether it plays changed.
    void changed();
};

// Makes a player for a file, owned by `parent`; none when the file cannot have one.
using MediaPlayerFactory = std::function<MediaPlayer*(const QString& path, QObject* parent)>;
