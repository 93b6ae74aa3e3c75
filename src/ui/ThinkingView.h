#pragma once

#include <QWidget>

class AppState;
class QLabel;

// The row shown while the AI is asked: a spinner, the thinking line and Cancel.
class ThinkingView : public QWidget
{
    Q_OBJECT

public:
    explicit ThinkingView(AppState* state, QWidget* parent = nullptr);

private:
    AppState* m_state;
    QLabel* m_text;
};
