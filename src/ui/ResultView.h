#pragma once

#include <QWidget>

class AppState;
class QVBoxLayout;

// The finished run: the new files and what to do with them.
class ResultView : public QWidget
{
    Q_OBJECT

public:
    explicit ResultView(AppState* state, QWidget* parent = nullptr);

private:
    void refresh();

    AppState* m_state;
    QWidget* m_outputs;
    QVBoxLayout* m_outputsLayout;
};
