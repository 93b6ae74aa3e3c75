#include "Style.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>

namespace Style {

QFont font(Text size)
{
    QFont f = QApplication::font();
    const qreal base = f.pointSizeF() > 0 ? f.pointSizeF() : 10.0;
    // Ratios of the common desktop type ramp to its body size.
    qreal ratio = 1.0;
    switch (size) {
    case Text::title:
        ratio = 1.7;
        f.setWeight(QFont::DemiBold);
        break;
    case Text::title2:
        ratio = 1.35;
        f.setWeight(QFont::DemiBold);
        break;
    case Text::title3:
        ratio = 1.18;
        f.setWeight(QFont::DemiBold);
        break;
    case Text::headline:
        f.setWeight(QFont::Bold);
        break;
    case Text::body:
        break;
    case Text::callout:
        ratio = 0.93;
        break;
    case Text::caption:
        ratio = 0.84;
        break;
    }
    f.setPointSizeF(base * ratio);
    return f;
}

QColor green()
{
    return QColor(0x2e, 0xa0, 0x4f);
}

QColor red()
{
    return QColor(0xdc, 0x3c, 0x32);
}

QColor orange()
{
    return QColor(0xe0, 0x7a, 0x10);
}

QLabel* label(const QString& text, Text size, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setFont(font(size));
    return l;
}

QLabel* selectable(const QString& text, Text size, QWidget* parent)
{
    QLabel* l = label(text, size, parent);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    l->setCursor(Qt::IBeamCursor);
    return l;
}

void secondary(QLabel* label)
{
    label->setForegroundRole(QPalette::PlaceholderText);
}

void tint(QLabel* label, const QColor& color)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
}

QPushButton* button(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    name(b, text, objectName);
    return b;
}

void clear(QLayout* layout)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
}

void name(QWidget* widget, const QString& accessibleName, const QString& objectName)
{
    widget->setAccessibleName(accessibleName);
    widget->setObjectName(objectName);
}

} // namespace Style
