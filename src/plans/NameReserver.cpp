#include "NameReserver.h"

#include <QFileInfo>

QString NameReserver::unique(const QString& base, const QString& ext, const QString& folder)
{
    for (qint64 n = 1;; ++n) {
        QString name = n == 1 ? base : base + QLatin1Char(' ') + QString::number(n);
        if (!ext.isEmpty()) {
            name += QLatin1Char('.') + ext;
        }
        const QString path = folder + QLatin1Char('/') + name;
        const QString key = path.toLower();
        // A dangling symbolic link counts as taken: a tool writing there would create its target.
        const QFileInfo info(path);
        if (m_used.contains(key) || info.exists() || info.isSymLink()) {
            continue;
        }
        m_used.insert(key);
        return path;
    }
}
