#pragma once

#include "MediaPlayer.h"

// Finds players in the player module (see PlayerBackend). The module is loaded once, when first asked;
// without it, or with a damaged one, files simply have no player.
namespace PlayerModule {

// A factory of players from the plugin `module`, a file name in the helper folder or an absolute path; its
// players are null when it cannot be loaded.
MediaPlayerFactory factory(const QString& module);
// A player from the installed module (trellick-player.so), owned by `parent`; null without the module.
MediaPlayer* create(const QString& path, QObject* parent);
// A widget a player draws its picture into, from the installed module; null without the module.
QWidget* videoView(QWidget* parent);

} // namespace PlayerModule
