#pragma once

#include "ai/AIEndpoints.h"
#include "files/FileKind.h"
#include "files/MediaFacts.h"
#include "platform/Keychain.h"
#include "platform/MediaPlayer.h"
#include "platform/OpenPanel.h"
#include "platform/Workspace.h"

#include <QDateTime>
#include <QFuture>
#include <functional>
#include <memory>

// Everything AppState takes from the computer around it, handed in once when it is made: the real pieces
// in the application, fakes in tests and in the developer tool. The application's folders are not here:
// they follow XDG_DATA_HOME, which the helper programs AppState starts read too.
struct Services
{
    // Reads a file's facts off the main thread.
    using Prober = std::function<QFuture<MediaFacts>(const QString& path, FileKind kind)>;

    std::shared_ptr<Keychain> keychain;
    // The clipboard, the file manager and default applications.
    std::shared_ptr<Workspace> workspace;
    // The chooser behind Open...; without one, Open... does nothing.
    std::shared_ptr<OpenPanel> openPanel;
    Prober prober;
    MediaPlayerFactory makePlayer;
    // The time a finished run is recorded with.
    std::function<QDateTime()> now;
    AIEndpoints endpoints;
    // The folder of the stand-ins for sips, afconvert and ditto.
    QString toolsDir;

    // The computer's own: the system keyring, the desktop, the probe helper, the player module, the clock,
    // the AI services the environment names and the stand-ins among the program's helpers. Only the open panel is
    // missing, as it needs the window's toolkit.
    static Services system();
};
