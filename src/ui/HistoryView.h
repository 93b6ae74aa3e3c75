#pragma once

#include "Sheet.h"

class QPushButton;
class QVBoxLayout;

// The last runs, newest first: each can be run again (AI plans only) or deleted.
class HistoryView : public Sheet
{
    Q_OBJECT

public:
    explicit HistoryView(AppState* state, QWidget* parent = nullptr);

private:
    void rebuild();

    QWidget* m_list;
    QVBoxLayout* m_listLayout;
    QPushButton* m_clear;
};
