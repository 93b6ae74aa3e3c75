#include "ThinkingView.h"

#include "Spinner.h"
#include "Style.h"
#include "core/AppState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

ThinkingView::ThinkingView(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_text(Style::label(QString(), Style::Text::body, this))
{
    setObjectName(u"thinkingRow"_s);
    m_text->setObjectName(u"thinkingText"_s);
    QPushButton* cancel = Style::button(u"Cancel"_s, u"cancelThinking"_s, this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(new Spinner(16, this), 0, Qt::AlignVCenter);
    row->addWidget(m_text, 1);
    row->addWidget(cancel, 0, Qt::AlignVCenter);
    connect(cancel, &QPushButton::clicked, m_state, &AppState::cancelThinking);
    connect(m_state, &AppState::thinkingTextChanged, this, [this] { m_text->setText(m_state->thinkingText()); });
    m_text->setText(m_state->thinkingText());
}
