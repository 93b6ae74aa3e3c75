#pragma once

#include "MediaPlayer.h"

// Finds players in the player module (see PlayerBackend). The module is loaded once, when first asked;
// without it, or with a damaged one, files simply have no player.
namespace PlayerModule {

// The installed module: beside the executable.
QString installedPath();
// A factory of players from the module at `modulePath`; its players are null when it cannot be loaded.
MediaPlayerFactory factory(const QString& modulePath);
// A player from the installed module, owned by `parent`; null without the module.
MediaPlayer* create(const QString& path, QObject* parent);
// A widget a player draws its picture into, from the installed module; null without the module.
QWidget* videoView(QWidget* parent);

} // namespace PlayerModule
