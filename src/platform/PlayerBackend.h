#pragma once

#include <QObject>
#include <functional>

class QString;
class QWidget;

// One file's player inside the player module (trellick-player.so, beside the executable), which holds
// everything that needs Qt Multimedia. Qt Multimedia and its sound libraries are some twenty shared
// libraries; the application loads the module when the first file with a player is shown, not at start.
// Plain C++, so that no Qt Multimedia type crosses into the application.
class PlayerBackend
{
public:
    virtual ~PlayerBackend() = default;

    virtual void play() = 0;
    virtual void pause() = 0;
    virtual bool isPlaying() const = 0;
    virtual qint64 positionMs() const = 0;
    virtual qint64 durationMs() const = 0;
    virtual void setPositionMs(qint64 ms) = 0;
    // `view` is a widget from the module's makeVideoView, or none to stop drawing.
    virtual void setVideoView(QObject* view) = 0;
};

// The player module's root object, found by PluginLoader.
class PlayerPlugin
{
public:
    virtual ~PlayerPlugin() = default;

    // `changed` is called whenever the position, the length or the playing state changes.
    virtual PlayerBackend* makePlayer(const QString& path, const std::function<void()>& changed) = 0;
    // A widget a player draws its picture into.
    virtual QWidget* makeVideoView(QWidget* parent) = 0;
};

#define TRELLICK_PLAYER_PLUGIN_IID "app.trellick.PlayerPlugin/1"
Q_DECLARE_INTERFACE(PlayerPlugin, TRELLICK_PLAYER_PLUGIN_IID)
