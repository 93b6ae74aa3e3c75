#include "HelperFolder.h"

#include "PlatformLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace HelperFolder {

QString path()
{
    const QString own = QCoreApplication::applicationDirPath();
    // TRELLICK_HELPER_SUBDIR is the install's libexec folder relative to its bin folder, set by the build.
    const QString installed = QDir::cleanPath(own + QLatin1Char('/') + QStringLiteral(TRELLICK_HELPER_SUBDIR));
    const QString folder = QFileInfo(installed).isDir() ? installed : own;
    qCDebug(lcPlatform, "Helpers are taken from %s", qUtf8Printable(folder));
    return folder;
}

} // namespace HelperFolder
