#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QLayout;
class QPushButton;
class QWidget;

// The window's few text sizes and colours, in one place. Sizes are relative to the platform's font,
// colours come from the palette wherever a role fits, so that light and dark palettes both read well.
namespace Style {

enum class Text { title, title2, title3, headline, body, callout, caption };

QFont font(Text size);

// Fixed colours for meaning (done, failed, warning); chosen to read on light and dark backgrounds.
QColor green();
QColor red();
QColor orange();

// A plain-text label (file names are never read as markup) that wraps.
QLabel* label(const QString& text, Text size = Text::body, QWidget* parent = nullptr);
// The same, selectable with mouse and keyboard.
QLabel* selectable(const QString& text, Text size = Text::body, QWidget* parent = nullptr);
// Text in the secondary colour, which follows the palette.
void secondary(QLabel* label);
void tint(QLabel* label, const QColor& color);

// A push button with its object and accessible names set; screen readers and tests find it by its text.
QPushButton* button(const QString& text, const QString& objectName, QWidget* parent = nullptr);
// Empties a layout that is rebuilt from the state. The widgets are deleted later, because the one
// whose click started the rebuild is still handling it.
void clear(QLayout* layout);

// Sets the accessible name (and the object name) of any interactive widget.
void name(QWidget* widget, const QString& accessibleName, const QString& objectName);

} // namespace Style
