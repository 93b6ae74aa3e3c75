#include "FailedView.h"

#include "CollapsibleSection.h"
#include "Style.h"
#include "SymbolLabel.h"
#include "core/AppState.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

FailedView::FailedView(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_text(Style::selectable(QString(), Style::Text::body, this))
    , m_detailsText(new QPlainTextEdit(this))
    , m_fixNote(Style::label(QString(), Style::Text::callout, this))
    , m_tryFix(Style::button(u"Try to fix"_s, u"tryFix"_s, this))
{
    setObjectName(u"failedView"_s);
    auto* headline = new SymbolLabel(u"xmark.octagon.fill"_s, u"That didn't work"_s, Style::Text::headline, this);
    headline->setColor(Style::red());
    m_text->setObjectName(u"failureText"_s);
    m_detailsText->setReadOnly(true);
    m_detailsText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_detailsText->setMaximumHeight(220);
    Style::name(m_detailsText, u"Details"_s, u"failureDetails"_s);
    m_details = new CollapsibleSection(u"Show Details"_s, u"showDetails"_s, m_detailsText, this);
    m_fixNote->setObjectName(u"fixNote"_s);
    Style::secondary(m_fixNote);

    QPushButton* back = Style::button(u"Back"_s, u"backFromFailure"_s, this);
    QPushButton* close = Style::button(u"Close"_s, u"closeFailure"_s, this);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(back);
    buttons->addWidget(close);
    buttons->addWidget(m_tryFix);
    buttons->addStretch();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(headline);
    column->addWidget(m_text);
    column->addWidget(m_details);
    column->addWidget(m_fixNote);
    column->addLayout(buttons);
    connect(back, &QPushButton::clicked, m_state, &AppState::backFromFailure);
    connect(close, &QPushButton::clicked, m_state, &AppState::cancelPlan);
    connect(m_state, &AppState::failureTextChanged, this, &FailedView::refresh);
    connect(m_state, &AppState::failureDetailsChanged, this, &FailedView::refresh);
    connect(m_tryFix, &QPushButton::clicked, m_state, &AppState::tryFix);
    connect(m_state, &AppState::fixChanged, this, &FailedView::refresh);
    connect(m_state, &AppState::stageChanged, this, &FailedView::refresh);
    refresh();
}

void FailedView::refresh()
{
    m_text->setText(m_state->failureText());
    // Details that only repeat the sentence above would say it twice.
    const QString details = m_state->failureDetails().trimmed();
    m_detailsText->setPlainText(details);
    // A tool says what went wrong last, under pages of what it read first.
    m_detailsText->moveCursor(QTextCursor::End);
    m_details->setVisible(!details.isEmpty() && !m_state->failureText().contains(details));
    m_fixNote->setText(m_state->fixNote());
    m_fixNote->setVisible(!m_state->fixNote().isEmpty());
    m_tryFix->setVisible(m_state->canTryFix());
}

void FailedView::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous()) {
        m_details->setExpanded(false);
    }
    QWidget::hideEvent(event);
}
