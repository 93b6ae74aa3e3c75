#pragma once

#include "Sheet.h"

class QGridLayout;
class QScrollArea;
class QVBoxLayout;

// Everything known about the chosen files, and the command that shows the same details.
class InfoDialog : public Sheet
{
    Q_OBJECT

public:
    explicit InfoDialog(AppState* state, QWidget* parent = nullptr);

private:
    void showDetails();
    static void addRow(QGridLayout* grid, const QString& label, const QString& value);

    QVBoxLayout* m_column = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_details = nullptr;
};
