#include "DesktopEntry.h"

#include "PlatformLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace DesktopEntry {

namespace {

const QString entry = u"applications/app.trellick.Trellick.desktop"_s;

} // namespace

bool offeredInOpenWith()
{
    // TRELLICK_DATA_SUBDIR is the install's data folder relative to its bin folder, set by the build.
    return offeredInOpenWith(QCoreApplication::applicationDirPath() + u'/' + QStringLiteral(TRELLICK_DATA_SUBDIR));
}

bool offeredInOpenWith(const QString& dataFolder)
{
    const QString ours = QFileInfo(dataFolder + u'/' + entry).canonicalFilePath();
    if (ours.isEmpty()) {
        return false;
    }
    // Compared as real files, so that a data folder reached through a link still counts.
    const QStringList listed = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, entry);
    const bool offered = std::any_of(listed.begin(), listed.end(),
                                     [&](const QString& path) { return QFileInfo(path).canonicalFilePath() == ours; });
    qCDebug(lcPlatform, "Open With lists %s: %s", qUtf8Printable(ours), offered ? "yes" : "no");
    return offered;
}

} // namespace DesktopEntry
