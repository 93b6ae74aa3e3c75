#include "StagePanel.h"

#include "FailedView.h"
#include "InstallView.h"
#include "PlanView.h"
#include "RequestView.h"
#include "ResultView.h"
#include "RunView.h"
#include "ThinkingView.h"
#include "core/AppState.h"

#include <QVBoxLayout>

using namespace Qt::StringLiterals;

StagePanel::StagePanel(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_column(new QVBoxLayout(this))
{
    setObjectName(u"stagePanel"_s);
    m_column->setContentsMargins(0, 0, 0, 0);
    connect(m_state, &AppState::stageChanged, this, &StagePanel::refresh);
    refresh();
}

QWidget* StagePanel::make(Stage stage)
{
    switch (stage) {
    case Stage::idle:
        return nullptr;
    case Stage::asking:
        return new RequestView(m_state, this);
    case Stage::thinking:
        return new ThinkingView(m_state, this);
    case Stage::review:
        return new PlanView(m_state, this);
    case Stage::installing:
        return new InstallView(m_state, this);
    case Stage::running:
        return new RunView(m_state, this);
    case Stage::finished:
        return new ResultView(m_state, this);
    case Stage::failed:
        return new FailedView(m_state, this);
    }
    Q_UNREACHABLE();
}

void StagePanel::refresh()
{
    const Stage current = m_state->stage();
    // Hide first, so that a panel's own Return shortcut is never live next to another's.
    for (auto it = m_panels.cbegin(); it != m_panels.cend(); ++it) {
        if (it.key() != current) {
            it.value()->hide();
        }
    }
    if (current == Stage::idle) {
        return;
    }
    QWidget*& panel = m_panels[current];
    if (!panel) {
        // Only one panel shows at a time, so the order they join the column in does not matter.
        panel = make(current);
        m_column->addWidget(panel);
    }
    panel->show();
}
