#pragma once

#include "Sheet.h"

class QLineEdit;

// Asks which pages of the first PDF to keep.
class PDFExtractDialog : public Sheet
{
    Q_OBJECT

public:
    explicit PDFExtractDialog(AppState* state, QWidget* parent = nullptr);

    int count() const { return m_count; }

private:
    QLineEdit* m_pages;
    int m_count = 0;
};
