#pragma once

#include "MediaPlayer.h"

class QAudioOutput;

// The player on Qt Multimedia (GStreamer on Linux).
class QtMediaPlayer : public MediaPlayer
{
    Q_OBJECT

public:
    QtMediaPlayer(const QString& path, QObject* parent);

    static MediaPlayer* create(const QString& path, QObject* parent);

    QString path() const override;
    void pause() override;
    double position() const override;
    QMediaPlayer* mediaPlayer() const override;

private:
    QString m_path;
    QMediaPlayer* m_player;
    QAudioOutput* m_audio;
};
