#pragma once

#include <QObject>
#include <QString>

// Loads the program's own plugins, the player and PDF modules, from the helper folder.
namespace PluginLoader {

template <class Interface>
struct Loaded
{
    Interface* plugin = nullptr; // null when the module cannot be used
    QString error; // then one sentence saying why
};

// The root object of the plugin `fileName` in the helper folder (an absolute path is taken as it stands)
// when it declares the interface `iid`. Plugins are never unloaded: what they made may live to the end.
Loaded<QObject> loadObject(const QString& fileName, const char* iid);

// The plugin `fileName` as `Interface`, declared with Q_DECLARE_INTERFACE.
template <class Interface>
Loaded<Interface> load(const QString& fileName)
{
    const Loaded<QObject> root = loadObject(fileName, qobject_interface_iid<Interface*>());
    return {qobject_cast<Interface*>(root.plugin), root.error};
}

} // namespace PluginLoader
