#pragma once

#include <QString>

// Where the program's own helpers live: the probe helper, the stand-ins for the picture, audio and unzip
// tools, and the player and PDF modules. Installed, that is the libexec folder beside the executable's bin
// folder (so nothing of ours shadows other programs on PATH); in a build tree, the executable's own folder.
namespace HelperFolder {

QString path();

} // namespace HelperFolder
