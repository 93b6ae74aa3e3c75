#pragma once

#include "platform/MediaPlayer.h"

// A player that plays nothing: records being paused and reports a set position.
class FakePlayer : public MediaPlayer
{
    Q_OBJECT

public:
    FakePlayer(const QString& path, QObject* parent);

    QString path() const override;
    void play() override;
    void pause() override;
    bool isPlaying() const override;
    double position() const override;
    double duration() const override;
    void seek(double seconds) override;
    void setVideoView(QWidget* view) override;

    bool playing = false;
    bool paused = false;
    double seconds = 0;

private:
    QString m_path;
};
