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
{
    setObjectName(u"stagePanel"_s);
    m_panels = {
        {Stage::asking, new RequestView(state, this)}, {Stage::thinking, new ThinkingView(state, this)},
        {Stage::review, new PlanView(state, this)},    {Stage::installing, new InstallView(state, this)},
        {Stage::running, new RunView(state, this)},    {Stage::finished, new ResultView(state, this)},
        {Stage::failed, new FailedView(state, this)},
    };
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    for (Stage stage : {Stage::asking, Stage::thinking, Stage::review, Stage::installing, Stage::running,
                        Stage::finished, Stage::failed}) {
        column->addWidget(m_panels.value(stage));
    }
    connect(m_state, &AppState::stageChanged, this, &StagePanel::refresh);
    refresh();
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
    if (QWidget* shown = m_panels.value(current)) {
        shown->show();
    }
}
