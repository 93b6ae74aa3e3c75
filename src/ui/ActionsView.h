#pragma once

#include <QWidget>

class AdaptiveGridLayout;
class AppState;

// "What do you want to do?": one large button per offered action, in catalogue order.
class ActionsView : public QWidget
{
    Q_OBJECT

public:
    explicit ActionsView(AppState* state, QWidget* parent = nullptr);

private:
    void rebuild();

    AppState* m_state;
    QWidget* m_grid;
    AdaptiveGridLayout* m_layout;
};
