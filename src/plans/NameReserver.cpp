#include "NameReserver.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The longest file name Linux file systems take, in bytes.
constexpr qsizetype maxNameBytes = 255;

// `base` cut, at a character, so that it and `tail` together fit in a file name. A last part in
// parentheses, such as " (converted)", says what the file is and stays whole: the name before it is cut.
QString fitted(const QString& base, const QString& tail)
{
    const qsizetype open = base.endsWith(u')') ? base.lastIndexOf(QStringLiteral(" (")) : -1;
    const QString suffix = open > 0 ? base.sliced(open) : QString();
    const qsizetype room = maxNameBytes - QFile::encodeName(suffix + tail).size();
    QString cut = open > 0 ? base.first(open) : base;
    while (!cut.isEmpty() && QFile::encodeName(cut).size() > room) {
        cut.chop(cut.size() > 1 && cut.back().isLowSurrogate() ? 2 : 1);
    }
    return cut.trimmed() + suffix;
}

} // namespace

QString NameReserver::unique(const QString& base, const QString& ext, const QString& folder)
{
    for (qint64 n = 1;; ++n) {
        const QString number = n == 1 ? QString() : QLatin1Char(' ') + QString::number(n);
        const QString tail = number + (ext.isEmpty() ? QString() : QLatin1Char('.') + ext);
        const QString name = fitted(base, tail) + tail;
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
