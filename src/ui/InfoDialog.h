#pragma once

#include "Sheet.h"

class QGridLayout;

// Everything known about the chosen files, and the command that shows the same details.
class InfoDialog : public Sheet
{
    Q_OBJECT

public:
    explicit InfoDialog(AppState* state, QWidget* parent = nullptr);

private:
    void addRow(QGridLayout* grid, const QString& label, const QString& value);
};
