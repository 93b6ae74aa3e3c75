#include "PluginLoader.h"

#include "HelperFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QPluginLoader>

using namespace Qt::StringLiterals;

namespace PluginLoader {

Loaded<QObject> loadObject(const QString& fileName, const char* iid)
{
    const QString path = QDir(HelperFolder::path()).filePath(fileName);
    if (!QFileInfo(path).isFile()) {
        return {nullptr, u"The module %1 is missing."_s.arg(path)};
    }
    QPluginLoader loader(path);
    // The metadata is read without running any of the module's code.
    const QString declared = loader.metaData().value(u"IID"_s).toString();
    if (declared.isEmpty()) {
        return {nullptr, u"The module %1 is not a plugin."_s.arg(path)};
    }
    if (declared != QLatin1String(iid)) {
        return {nullptr, u"The module %1 is a plugin of another kind (%2)."_s.arg(path, declared)};
    }
    QObject* root = loader.instance();
    if (!root) {
        return {nullptr, u"The module %1 could not be loaded (%2)."_s.arg(path, loader.errorString())};
    }
    return {root, {}};
}

} // namespace PluginLoader
