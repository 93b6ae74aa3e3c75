#pragma once

#include <QWidget>

class AppState;
class QWidget;
class SymbolLabel;

// Three short lines under the drop zone: whether the AI is ready, how to bring files in, and what
// happens to them.
class FirstScreenInfo : public QWidget
{
    Q_OBJECT

public:
    explicit FirstScreenInfo(AppState* state, QWidget* parent = nullptr);

private:
    void refresh();

    AppState* m_state;
    QWidget* m_notReady;
    SymbolLabel* m_ready;
};
