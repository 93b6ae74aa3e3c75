#include "RunView.h"

#include "Spinner.h"
#include "Style.h"
#include "core/AppState.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

RunView::RunView(AppState* state, QWidget* parent)
    : RoundedBox(12, Fill::secondary, parent)
    , m_state(state)
    , m_progress(new QProgressBar(this))
    , m_spinner(new Spinner(22, this))
    , m_text(Style::label(QString(), Style::Text::caption, this))
{
    setObjectName(u"runView"_s);
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    Style::name(m_progress, u"Run progress"_s, u"runProgress"_s);
    m_spinner->setObjectName(u"runSpinner"_s);
    Style::secondary(m_text);
    m_text->setObjectName(u"runText"_s);
    QPushButton* cancel = Style::button(u"Cancel"_s, u"cancelRun"_s, this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(8);
    column->addWidget(Style::label(u"Working..."_s, Style::Text::headline, this));
    column->addWidget(m_progress);
    column->addWidget(m_spinner);
    column->addWidget(m_text);
    column->addWidget(cancel, 0, Qt::AlignLeft);
    connect(cancel, &QPushButton::clicked, m_state, [this] { m_state->runner().cancel(); });
    connect(m_state, &AppState::runFractionChanged, this, &RunView::refresh);
    connect(m_state, &AppState::runTextChanged, this, &RunView::refresh);
    refresh();
}

void RunView::refresh()
{
    const std::optional<double> fraction = m_state->runFraction();
    m_progress->setVisible(fraction.has_value());
    m_spinner->setVisible(!fraction.has_value());
    m_progress->setValue(int(std::clamp(fraction.value_or(0), 0.0, 1.0) * 1000));
    m_text->setText(m_state->runText());
}
