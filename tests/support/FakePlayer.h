#pragma once

#include "platform/MediaPlayer.h"

// A player that plays nothing: records being paused and reports a set position.
class FakePlayer : public MediaPlayer
{
    Q_OBJECT

public:
    FakePlayer(const QString& path, QObject* parent)
        : MediaPlayer(parent)
        , m_path(path)
    {
    }

    QString path() const override { return m_path; }
    void play() override { setPlaying(true); }
    void pause() override { setPlaying(false); }
    bool isPlaying() const override { return playing; }
    double position() const override { return seconds; }
    double duration() const override { return 60; }
    void seek(double to) override
    {
        seconds = to;
        emit changed();
    }
    void setVideoView(QWidget*) override { }

    bool playing = false;
    bool paused = false;
    double seconds = 0;

private:
    void setPlaying(bool on)
    {
        playing = on;
        paused = !on;
        emit changed();
    }

    QString m_path;
};
