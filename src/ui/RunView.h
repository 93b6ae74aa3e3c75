#pragma once

#include "RoundedBox.h"

class AppState;
class QLabel;
class QProgressBar;
class Spinner;

// A run in progress: its progress (or a spinner when it is unknown), what it is doing, and Cancel.
class RunView : public RoundedBox
{
    Q_OBJECT

public:
    explicit RunView(AppState* state, QWidget* parent = nullptr);

private:
    void refresh();

    AppState* m_state;
    QProgressBar* m_progress;
    Spinner* m_spinner;
    QLabel* m_text;
};
