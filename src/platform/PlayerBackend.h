#pragma once

#include <QtGlobal>
#include <functional>

class QObject;
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
    // `view` is a widget from the module's video view function, or none to stop drawing.
    virtual void setVideoView(QObject* view) = 0;
};

// The module's entry points, exported under these names. `changed` is called whenever the position, the
// length or the playing state changes.
using MakePlayerBackend = PlayerBackend* (*)(const QString& path, const std::function<void()>& changed);
using MakeVideoView = QWidget* (*)(QWidget* parent);
inline constexpr char makePlayerBackendSymbol[] = "trellick_make_player_backend";
inline constexpr char makeVideoViewSymbol[] = "trellick_make_video_view";
