#include "SymbolLabel.h"

#include "Symbols.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>

SymbolLabel::SymbolLabel(const QString& symbol, const QString& text, Style::Text size, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_icon(new QLabel(this))
    , m_text(Style::label(text, size, this))
    , m_size(QFontMetrics(Style::font(size)).height())
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(m_icon, 0, Qt::AlignTop);
    row->addWidget(m_text, 1);
    m_icon->setAccessibleName(QString());
    updateSymbol();
}

void SymbolLabel::setText(const QString& text)
{
    m_text->setText(text);
}

QString SymbolLabel::text() const
{
    return m_text->text();
}

void SymbolLabel::setColor(const QColor& color)
{
    Style::tint(m_text, color);
    m_symbolColor = color;
    updateSymbol();
}

void SymbolLabel::setSymbolColor(const QColor& color)
{
    m_symbolColor = color;
    updateSymbol();
}

void SymbolLabel::setSecondary()
{
    Style::secondary(m_text);
    updateSymbol();
}

void SymbolLabel::setSymbolSize(int points)
{
    m_size = points;
    updateSymbol();
}

void SymbolLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        updateSymbol();
    }
    QWidget::changeEvent(event);
}

void SymbolLabel::updateSymbol()
{
    const QIcon icon = m_symbolColor ? Symbols::colored(m_symbol, *m_symbolColor)
                                     : Symbols::icon(m_symbol, m_text->palette().color(m_text->foregroundRole()));
    m_icon->setPixmap(icon.pixmap(QSize(m_size, m_size), devicePixelRatioF()));
    m_icon->setFixedSize(m_size, m_size);
}
