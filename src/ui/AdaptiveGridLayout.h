#pragma once

#include <QLayout>
#include <QList>

// Lays its items out in as many equal columns as fit at a minimum column width, row by row, in the
// order they were added; each item fills its cell's width.
class AdaptiveGridLayout : public QLayout
{
public:
    AdaptiveGridLayout(int minColumnWidth, int columnSpacing, int rowSpacing, QWidget* parent = nullptr);
    ~AdaptiveGridLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    void setGeometry(const QRect& rect) override;
    Qt::Orientations expandingDirections() const override;

    // The number of columns at a given width.
    int columnsFor(int width) const;

private:
    int arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
    int m_minColumnWidth;
    int m_columnSpacing;
    int m_rowSpacing;
};
