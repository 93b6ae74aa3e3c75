#include "AppPaths.h"

#include "BaseLog.h"

#include <QDir>
#include <QStandardPaths>

namespace {

QString ensured(const QString& path)
{
    // A folder that cannot be made shows up later, where writing into it fails and is reported.
    if (!QDir().mkpath(path)) {
        qCDebug(lcBase, "could not make the folder %s", qUtf8Printable(path));
    }
    return path;
}

} // namespace

namespace AppPaths {

QString supportDir()
{
    // GenericDataLocation honours XDG_DATA_HOME and falls back to ~/.local/share.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) {
        base = QDir::homePath() + QStringLiteral("/.local/share");
    }
    return ensured(base + QStringLiteral("/Trellick"));
}

QString binDir()
{
    return ensured(supportDir() + QStringLiteral("/bin"));
}

QString fallbackOutputDir()
{
    return ensured(supportDir() + QStringLiteral("/Output"));
}

} // namespace AppPaths
