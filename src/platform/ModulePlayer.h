#pragma once

#include "MediaPlayer.h"
#include "PlayerBackend.h"

#include <memory>

// A player whose work is done by a backend from the player module.
class ModulePlayer : public MediaPlayer
{
    Q_OBJECT

public:
    ModulePlayer(const QString& path, PlayerPlugin& module, QObject* parent);
    ~ModulePlayer() override;

    QString path() const override;
    void play() override;
    void pause() override;
    bool isPlaying() const override;
    double position() const override;
    double duration() const override;
    void seek(double seconds) override;
    void setVideoView(QWidget* view) override;

private:
    QString m_path;
    std::unique_ptr<PlayerBackend> m_backend;
};
