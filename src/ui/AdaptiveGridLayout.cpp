#include "AdaptiveGridLayout.h"

#include <QWidget>
#include <algorithm>

AdaptiveGridLayout::AdaptiveGridLayout(int minColumnWidth, int columnSpacing, int rowSpacing, QWidget* parent)
    : QLayout(parent)
    , m_minColumnWidth(minColumnWidth)
    , m_columnSpacing(columnSpacing)
    , m_rowSpacing(rowSpacing)
{
    setContentsMargins(0, 0, 0, 0);
}

AdaptiveGridLayout::~AdaptiveGridLayout()
{
    qDeleteAll(m_items);
}

void AdaptiveGridLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
}

int AdaptiveGridLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem* AdaptiveGridLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem* AdaptiveGridLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

QSize AdaptiveGridLayout::sizeHint() const
{
    const int width = m_minColumnWidth * 2 + m_columnSpacing;
    return {width, heightForWidth(width)};
}

QSize AdaptiveGridLayout::minimumSize() const
{
    // The height follows the width (heightForWidth); a minimum taken at one column would hold the
    // grid at its tallest whatever the width.
    return {m_minColumnWidth, 0};
}

bool AdaptiveGridLayout::hasHeightForWidth() const
{
    return true;
}

int AdaptiveGridLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

void AdaptiveGridLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

Qt::Orientations AdaptiveGridLayout::expandingDirections() const
{
    return Qt::Horizontal;
}

int AdaptiveGridLayout::columnsFor(int width) const
{
    return std::max(1, (width + m_columnSpacing) / (m_minColumnWidth + m_columnSpacing));
}

int AdaptiveGridLayout::arrange(const QRect& rect, bool apply) const
{
    QList<QLayoutItem*> visible;
    for (QLayoutItem* item : m_items) {
        if (!item->isEmpty()) {
            visible.append(item);
        }
    }
    const int columns = columnsFor(rect.width());
    const int cellWidth = std::max(1, (rect.width() - (columns - 1) * m_columnSpacing) / columns);
    int y = rect.y();
    for (qsizetype row = 0; row * columns < visible.size(); ++row) {
        const qsizetype first = row * columns;
        const qsizetype last = std::min(visible.size(), first + columns);
        int rowHeight = 0;
        for (qsizetype i = first; i < last; ++i) {
            QLayoutItem* item = visible[i];
            const int h = item->hasHeightForWidth() ? item->heightForWidth(cellWidth) : item->sizeHint().height();
            rowHeight = std::max(rowHeight, h);
        }
        if (apply) {
            for (qsizetype i = first; i < last; ++i) {
                const int x = rect.x() + int(i - first) * (cellWidth + m_columnSpacing);
                visible[i]->setGeometry(QRect(x, y, cellWidth, rowHeight));
            }
        }
        y += rowHeight + m_rowSpacing;
    }
    if (!visible.isEmpty()) {
        y -= m_rowSpacing;
    }
    return y - rect.y();
}
