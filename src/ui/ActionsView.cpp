#include "ActionsView.h"

#include "AdaptiveGridLayout.h"
#include "Style.h"
#include "Symbols.h"
#include "core/AppState.h"
#include "files/Actions.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ActionsView::ActionsView(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_grid(new QWidget(this))
    , m_layout(new AdaptiveGridLayout(165, 8, 8, m_grid))
{
    setObjectName(u"actionsView"_s);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(Style::label(u"What do you want to do?"_s, Style::Text::headline, this));
    column->addWidget(m_grid);
    connect(m_state, &AppState::actionsChanged, this, &ActionsView::rebuild);
    rebuild();
}

void ActionsView::rebuild()
{
    Style::clear(m_layout);
    const QColor tint = palette().color(QPalette::ButtonText);
    for (const FileAction& action : m_state->actions()) {
        QPushButton* button = Style::button(action.title, u"action_"_s + Actions::rawId(action.id), m_grid);
        button->setIcon(Symbols::icon(action.symbol, tint));
        button->setIconSize(QSize(20, 20));
        button->setMinimumHeight(40);
        button->setStyleSheet(u"text-align: left; padding-left: 12px;"_s);
        connect(button, &QPushButton::clicked, m_state, [this, action] { m_state->perform(action); });
        m_layout->addWidget(button);
    }
}
