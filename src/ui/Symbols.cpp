#include "Symbols.h"

#include "TintedIconEngine.h"
#include "UiLog.h"

#include <QFile>
#include <QHash>

using namespace Qt::StringLiterals;

namespace {

QString resource(const QString& symbol)
{
    return u":/symbols/"_s + symbol + u".svg"_s;
}

} // namespace

namespace Symbols {

QString themeName(const QString& symbol)
{
    // Names from the freedesktop icon naming scheme that every mainstream theme carries.
    static const QHash<QString, QString> names{
        {u"info.circle"_s, u"dialog-information"_s},
        {u"info.circle.fill"_s, u"dialog-information"_s},
        {u"clock.arrow.circlepath"_s, u"document-open-recent"_s},
        {u"gearshape"_s, u"preferences-system"_s},
        {u"exclamationmark.triangle"_s, u"dialog-warning"_s},
        {u"xmark.octagon.fill"_s, u"dialog-error"_s},
        {u"arrow.up"_s, u"go-up"_s},
        {u"arrow.down"_s, u"go-down"_s},
        {u"xmark"_s, u"list-remove"_s},
        {u"doc.zipper"_s, u"package-x-generic"_s},
        {u"doc.on.doc"_s, u"edit-copy"_s},
        {u"folder"_s, u"folder"_s},
        {u"scissors"_s, u"edit-cut"_s},
        {u"arrow.triangle.2.circlepath"_s, u"view-refresh"_s},
        {u"waveform"_s, u"audio-x-generic"_s},
        {u"speaker.slash"_s, u"audio-volume-muted"_s},
        {u"speaker.wave.2"_s, u"audio-volume-high"_s},
        {u"rotate.right"_s, u"object-rotate-right"_s},
        {u"photo.on.rectangle"_s, u"image-x-generic"_s},
        {u"photo.stack"_s, u"image-x-generic"_s},
        {u"lock.shield"_s, u"security-high"_s},
    };
    return names.value(symbol);
}

bool isBundled(const QString& symbol)
{
    return QFile::exists(resource(symbol));
}

QIcon icon(const QString& symbol, const QColor& tint)
{
    const QString name = themeName(symbol);
    if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
        return QIcon::fromTheme(name);
    }
    return colored(symbol, tint);
}

QIcon colored(const QString& symbol, const QColor& color)
{
    if (!isBundled(symbol)) {
        qCDebug(lcUi, "no picture is bundled for the symbol %s", qUtf8Printable(symbol));
        return {};
    }
    return QIcon(new TintedIconEngine(resource(symbol), color));
}

QIcon fileIcon(const QString& iconName, FileKind kind, const QColor& tint)
{
    const QString generic = iconName.section(u'-', 0, 0) + u"-x-generic"_s;
    for (const QString& name : {iconName, generic}) {
        if (!iconName.isEmpty() && QIcon::hasThemeIcon(name)) {
            return QIcon::fromTheme(name);
        }
    }
    switch (kind) {
    case FileKind::video:
        return colored(u"film"_s, tint);
    case FileKind::audio:
        return colored(u"waveform"_s, tint);
    case FileKind::image:
        return colored(u"photo.on.rectangle"_s, tint);
    case FileKind::pdf:
        return colored(u"doc.richtext"_s, tint);
    case FileKind::archive:
        return colored(u"doc.zipper"_s, tint);
    case FileKind::folder:
        return colored(u"folder"_s, tint);
    case FileKind::other:
        break;
    }
    return colored(u"doc"_s, tint);
}

} // namespace Symbols
