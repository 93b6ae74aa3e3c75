#pragma once

#include "core/Stage.h"

#include <QHash>
#include <QWidget>

class AppState;

// Shows the one panel that belongs to `AppState.stage`; the window hides it all in the idle stage.
class StagePanel : public QWidget
{
    Q_OBJECT

public:
    explicit StagePanel(AppState* state, QWidget* parent = nullptr);

    // The panel shown for a stage, or null for idle.
    QWidget* panel(Stage stage) const { return m_panels.value(stage); }

private:
    void refresh();

    AppState* m_state;
    QHash<Stage, QWidget*> m_panels;
};
