#pragma once

#include "core/Stage.h"

#include <QHash>
#include <QWidget>

class AppState;
class QVBoxLayout;

// Shows the one panel that belongs to `AppState.stage`; the window hides it all in the idle stage. A panel
// is made the first time its stage comes, so that starting the application does not build them all.
class StagePanel : public QWidget
{
    Q_OBJECT

public:
    explicit StagePanel(AppState* state, QWidget* parent = nullptr);

private:
    void refresh();
    QWidget* make(Stage stage);

    AppState* m_state;
    QVBoxLayout* m_column;
    QHash<Stage, QWidget*> m_panels;
};
