#include "PlayerModule.h"

#include "ModulePlayer.h"
#include "PluginLoader.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace {

const QString installedModule = u"trellick-player.so"_s;

// Loaded once per module file: a missing or damaged one is reported once. Players are made on the main
// thread only.
PlayerPlugin* plugin(const QString& module)
{
    static QHash<QString, PlayerPlugin*> loaded;
    const auto found = loaded.constFind(module);
    if (found != loaded.constEnd()) {
        return *found;
    }
    const PluginLoader::Loaded<PlayerPlugin> result = PluginLoader::load<PlayerPlugin>(module);
    if (!result.plugin) {
        qWarning("The player module %s could not be loaded: %s", qUtf8Printable(module), qUtf8Printable(result.error));
    }
    loaded.insert(module, result.plugin);
    return result.plugin;
}

} // namespace

namespace PlayerModule {

MediaPlayerFactory factory(const QString& module)
{
    return [module](const QString& path, QObject* parent) -> MediaPlayer* {
        PlayerPlugin* const found = plugin(module);
        return found ? new ModulePlayer(path, *found, parent) : nullptr;
    };
}

MediaPlayer* create(const QString& path, QObject* parent)
{
    return factory(installedModule)(path, parent);
}

QWidget* videoView(QWidget* parent)
{
    PlayerPlugin* const found = plugin(installedModule);
    return found ? found->makeVideoView(parent) : nullptr;
}

} // namespace PlayerModule
