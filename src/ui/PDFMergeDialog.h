#pragma once

#include "Sheet.h"

#include <QStringList>

class QPushButton;
class QVBoxLayout;

// Arranges the PDFs to merge: move up, move down, remove, add more.
class PDFMergeDialog : public Sheet
{
    Q_OBJECT

public:
    explicit PDFMergeDialog(AppState* state, QWidget* parent = nullptr);

    QStringList order() const { return m_order; }

private:
    void rebuild();
    void move(qsizetype from, qsizetype to);
    void add();

    QStringList m_order;
    QWidget* m_rows;
    QVBoxLayout* m_rowsLayout;
    QPushButton* m_preview;
};
