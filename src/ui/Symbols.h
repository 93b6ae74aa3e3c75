#pragma once

#include "files/FileKind.h"

#include <QColor>
#include <QIcon>
#include <QString>

// The symbol names of the action catalogue and the window become icons: the icon theme's own
// (freedesktop names) when it has one, otherwise a drawing bundled with the application, tinted to
// match the text around it. Coloured symbols (done, failed, warnings) always use the bundled drawing
// so that their colour carries meaning on every desktop.
namespace Symbols {

// The freedesktop icon name for a symbol, or empty when the naming scheme has no fitting one.
QString themeName(const QString& symbol);
// Whether a drawing for the symbol is bundled.
bool isBundled(const QString& symbol);
// The theme icon when there is one, else the bundled drawing in `tint`.
QIcon icon(const QString& symbol, const QColor& tint);
// Always the bundled drawing, in `color`.
QIcon colored(const QString& symbol, const QColor& color);
// A file's icon by its freedesktop name, then by the generic name of its media type ("video-x-generic"),
// falling back to a bundled drawing of its kind.
QIcon fileIcon(const QString& iconName, FileKind kind, const QColor& tint);

} // namespace Symbols
