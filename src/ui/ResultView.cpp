#include "ResultView.h"

#include "Style.h"
#include "SymbolLabel.h"
#include "core/AppState.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ResultView::ResultView(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_outputs(new QWidget(this))
    , m_outputsLayout(new QVBoxLayout(m_outputs))
{
    setObjectName(u"resultView"_s);
    auto* done = new SymbolLabel(u"checkmark.circle.fill"_s, u"Done"_s, Style::Text::headline, this);
    done->setColor(Style::green());
    m_outputsLayout->setContentsMargins(0, 0, 0, 0);
    m_outputsLayout->setSpacing(2);
    QLabel* unchanged = Style::label(u"Your original file was not changed."_s, Style::Text::callout, this);
    Style::secondary(unchanged);

    QPushButton* show = Style::button(u"Show in folder"_s, u"showOutputs"_s, this);
    QPushButton* play = Style::button(u"Play"_s, u"playResult"_s, this);
    QPushButton* another = Style::button(u"Run another action on this"_s, u"runAnother"_s, this);
    QPushButton* close = Style::button(u"Close"_s, u"closeResult"_s, this);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(show);
    buttons->addWidget(play);
    buttons->addWidget(another);
    buttons->addStretch();
    buttons->addWidget(close);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(done);
    column->addWidget(m_outputs);
    column->addWidget(unchanged);
    column->addLayout(buttons);
    connect(show, &QPushButton::clicked, m_state, [this] {
        if (const std::optional<RunOutcome> outcome = m_state->outcome()) {
            m_state->workspace().reveal(outcome->outputs);
        }
    });
    connect(play, &QPushButton::clicked, m_state, &AppState::playResult);
    connect(another, &QPushButton::clicked, m_state, [this] {
        if (const std::optional<RunOutcome> outcome = m_state->outcome()) {
            m_state->load(outcome->outputs);
        }
    });
    connect(close, &QPushButton::clicked, m_state, &AppState::cancelPlan);
    connect(m_state, &AppState::outcomeChanged, this, &ResultView::refresh);
    refresh();
}

void ResultView::refresh()
{
    Style::clear(m_outputsLayout);
    const std::optional<RunOutcome> outcome = m_state->outcome();
    for (const QString& path : outcome ? outcome->outputs : QStringList()) {
        QLabel* name = Style::selectable(QFileInfo(path).fileName(), Style::Text::body, m_outputs);
        name->setObjectName(u"outputName"_s);
        m_outputsLayout->addWidget(name);
        const auto checked = std::find_if(outcome->checked.begin(), outcome->checked.end(),
                                          [&path](const CheckedOutput& c) { return c.path == path; });
        if (checked == outcome->checked.end()) {
            continue;
        }
        QLabel* facts = Style::label(checked->facts, Style::Text::callout, m_outputs);
        facts->setObjectName(u"outputFacts"_s);
        Style::secondary(facts);
        m_outputsLayout->addWidget(facts);
        if (!checked->warning.isEmpty()) {
            auto* warning
                = new SymbolLabel(u"exclamationmark.triangle"_s, checked->warning, Style::Text::callout, m_outputs);
            warning->setObjectName(u"outputWarning"_s);
            warning->setSymbolColor(Style::orange());
            m_outputsLayout->addWidget(warning);
        }
    }
}
