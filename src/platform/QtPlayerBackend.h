#pragma once

#include "PlayerBackend.h"

#include <QAudioOutput>
#include <QMediaPlayer>

// The player on Qt Multimedia (GStreamer on Linux). Lives in the player module only.
class QtPlayerBackend : public PlayerBackend
{
public:
    QtPlayerBackend(const QString& path, const std::function<void()>& changed);

    void play() override;
    void pause() override;
    bool isPlaying() const override;
    qint64 positionMs() const override;
    qint64 durationMs() const override;
    void setPositionMs(qint64 ms) override;
    void setVideoView(QObject* view) override;

private:
    QAudioOutput m_audio; // before the player, which goes first and still refers to it
    QMediaPlayer m_player;
};

// The player module's root object.
class QtPlayerPlugin : public QObject, public PlayerPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TRELLICK_PLAYER_PLUGIN_IID)
    Q_INTERFACES(PlayerPlugin)

public:
    PlayerBackend* makePlayer(const QString& path, const std::function<void()>& changed) override;
    QWidget* makeVideoView(QWidget* parent) override;
};
