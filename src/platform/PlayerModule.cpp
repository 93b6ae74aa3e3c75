#include "PlayerModule.h"

#include "HelperFolder.h"
#include "ModulePlayer.h"

#include <QHash>
#include <QLibrary>

using namespace Qt::StringLiterals;

namespace {

struct Entries
{
    MakePlayerBackend makePlayer = nullptr;
    MakeVideoView makeView = nullptr;
};

// Loaded once per module file and never unloaded: players and views made by it may live to the end.
// Players are made on the main thread only.
Entries entries(const QString& modulePath)
{
    static QHash<QString, Entries> loaded;
    const auto found = loaded.constFind(modulePath);
    if (found != loaded.constEnd()) {
        return *found;
    }
    QLibrary module(modulePath);
    Entries e;
    if (module.load()) {
        e.makePlayer = reinterpret_cast<MakePlayerBackend>(module.resolve(makePlayerBackendSymbol));
        e.makeView = reinterpret_cast<MakeVideoView>(module.resolve(makeVideoViewSymbol));
    }
    if (!e.makePlayer || !e.makeView) {
        qWarning("The player module %s could not be loaded: %s", qUtf8Printable(modulePath),
                 qUtf8Printable(module.errorString()));
        e = {};
    }
    loaded.insert(modulePath, e);
    return e;
}

} // namespace

namespace PlayerModule {

QString installedPath()
{
    return HelperFolder::path() + u"/trellick-player.so"_s;
}

MediaPlayerFactory factory(const QString& modulePath)
{
    return [modulePath](const QString& path, QObject* parent) -> MediaPlayer* {
        const Entries e = entries(modulePath);
        return e.makePlayer ? new ModulePlayer(path, e.makePlayer, parent) : nullptr;
    };
}

MediaPlayer* create(const QString& path, QObject* parent)
{
    return factory(installedPath())(path, parent);
}

QWidget* videoView(QWidget* parent)
{
    const Entries e = entries(installedPath());
    return e.makeView ? e.makeView(parent) : nullptr;
}

} // namespace PlayerModule
