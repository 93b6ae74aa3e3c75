#include "PlanView.h"

#include "Style.h"
#include "SymbolLabel.h"
#include "core/AppState.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>

using namespace Qt::StringLiterals;

PlanView::PlanView(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_fixedAfter(new SymbolLabel(u"arrow.triangle.2.circlepath"_s, QString(), Style::Text::callout, this))
    , m_versions(new QWidget(this))
    , m_versionGroup(new QButtonGroup(this))
    , m_summary(Style::label(QString(), Style::Text::body, this))
    , m_model(Style::label(QString(), Style::Text::caption, this))
    , m_steps(Style::label(QString(), Style::Text::body, this))
    , m_command(new QPlainTextEdit(this))
    , m_warnings(new QWidget(this))
    , m_warningsLayout(new QVBoxLayout(m_warnings))
    , m_savesAs(Style::label(QString(), Style::Text::callout, this))
    , m_needsFFmpeg(new SymbolLabel(u"arrow.down.circle"_s,
                                    u"This needs ffmpeg. It will be downloaded once when you press Run."_s,
                                    Style::Text::callout, this))
    , m_run(Style::button(u"Run"_s, u"run"_s, this))
    , m_change(Style::button(u"Change my request"_s, u"changeRequest"_s, this))
{
    setObjectName(u"planView"_s);
    m_fixedAfter->setObjectName(u"fixedAfter"_s);
    m_versions->setObjectName(u"versionPicker"_s);
    m_summary->setObjectName(u"planSummary"_s);
    Style::secondary(m_model);
    m_steps->setObjectName(u"planSteps"_s);
    m_needsFFmpeg->setSecondary();
    m_warningsLayout->setContentsMargins(0, 0, 0, 0);
    m_warningsLayout->setSpacing(4);

    auto* versionRow = new QHBoxLayout(m_versions);
    versionRow->setContentsMargins(0, 0, 0, 0);
    versionRow->setSpacing(0);
    // The picker's title, then its segments side by side.
    QLabel* versionTitle = Style::label(u"Version"_s, Style::Text::body, m_versions);
    versionTitle->setWordWrap(false);
    versionRow->addWidget(versionTitle);
    versionRow->addSpacing(10);
    versionRow->addStretch();
    m_versionGroup->setExclusive(true);

    m_command->setReadOnly(true);
    m_command->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_command->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_command->setMinimumHeight(70);
    m_command->setMaximumHeight(160);
    Style::name(m_command, u"The exact command"_s, u"commandText"_s);
    QPushButton* copy = Style::button(u"Copy"_s, u"copyCommand"_s, this);
    auto* commandBox = new QGroupBox(u"The exact command"_s, this);
    auto* commandLayout = new QVBoxLayout(commandBox);
    commandLayout->setSpacing(6);
    commandLayout->addWidget(m_command);
    commandLayout->addWidget(copy, 0, Qt::AlignRight);

    QPushButton* cancel = Style::button(u"Cancel"_s, u"cancelPlan"_s, this);
    m_run->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(m_run);
    buttons->addWidget(m_change);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(m_fixedAfter);
    column->addWidget(m_versions, 0, Qt::AlignLeft);
    column->addWidget(m_summary);
    column->addWidget(m_model);
    column->addWidget(m_steps);
    column->addWidget(commandBox);
    column->addWidget(m_warnings);
    column->addWidget(m_savesAs);
    column->addWidget(m_needsFFmpeg);
    column->addLayout(buttons);

    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, m_run, &QPushButton::animateClick);
    }
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(m_command->toPlainText()); });
    connect(m_run, &QPushButton::clicked, m_state, &AppState::startRun);
    connect(m_change, &QPushButton::clicked, m_state, &AppState::changeRequest);
    connect(cancel, &QPushButton::clicked, m_state, &AppState::cancelPlan);
    connect(m_versionGroup, &QButtonGroup::idClicked, m_state, &AppState::selectOption);
    connect(m_state, &AppState::reviewChanged, this, &PlanView::refresh);
    connect(m_state, &AppState::toolsReadyChanged, this, &PlanView::refresh);
    refresh();
}

void PlanView::rebuildVersions()
{
    const std::optional<ReviewState> review = m_state->review();
    QStringList labels;
    if (review && review->options.size() >= 2) {
        for (const ResolvedOption& option : review->options) {
            labels.append(option.label);
        }
    }
    QStringList current;
    for (QAbstractButton* button : m_versionGroup->buttons()) {
        current.append(button->text());
    }
    if (current != labels) {
        for (QAbstractButton* button : m_versionGroup->buttons()) {
            m_versionGroup->removeButton(button);
            delete button;
        }
        for (int i = 0; i < labels.size(); ++i) {
            QPushButton* segment = Style::button(labels[i], u"version"_s + QString::number(i), m_versions);
            segment->setCheckable(true);
            segment->setAccessibleDescription(u"Version"_s);
            m_versionGroup->addButton(segment, i);
            auto* row = static_cast<QHBoxLayout*>(m_versions->layout());
            row->insertWidget(row->count() - 1, segment);
        }
    }
    if (QAbstractButton* selected = m_versionGroup->button(review ? review->selected : -1)) {
        selected->setChecked(true);
    }
    m_versions->setVisible(!labels.isEmpty());
}

void PlanView::refresh()
{
    rebuildVersions();
    const std::optional<ReviewState> review = m_state->review();
    if (!review || review->selected < 0 || review->selected >= review->options.size()) {
        return;
    }
    const ResolvedOption& option = review->options[review->selected];
    m_fixedAfter->setText(u"Fixed after: "_s + review->fixedAfter.value_or(QString()));
    m_fixedAfter->setVisible(review->fixedAfter.has_value());
    m_summary->setText(option.summary);
    if (review->model) {
        m_model->setText(u"Answered by "_s + *review->model
                         + (review->retried
                                ? u" (on the second try, after the first answer was rejected by my checks)"_s
                                : QString()));
    }
    m_model->setVisible(review->model.has_value());

    QStringList steps;
    for (qsizetype i = 0; i < option.steps.size(); ++i) {
        steps.append(QString::number(i + 1) + u". "_s + option.steps[i].summary);
    }
    m_steps->setText(steps.join(u'\n'));
    m_steps->setVisible(option.steps.size() >= 2);

    if (m_command->toPlainText() != option.commandText()) {
        m_command->setPlainText(option.commandText());
    }

    Style::clear(m_warningsLayout);
    for (const QString& warning : option.warnings) {
        auto* label = new SymbolLabel(u"exclamationmark.triangle"_s, warning, Style::Text::body, m_warnings);
        label->setSymbolColor(Style::orange());
        m_warningsLayout->addWidget(label);
    }
    m_warnings->setVisible(!option.warnings.isEmpty());

    QStringList names;
    for (const QString& path : option.finalOutputs()) {
        names.append(QFileInfo(path).fileName());
    }
    m_savesAs->setText(u"Saves as: "_s + names.join(u", "_s));

    const bool needsFFmpeg
        = std::any_of(option.steps.begin(), option.steps.end(), [](const ResolvedStep& s) { return s.needsFFmpeg; });
    m_needsFFmpeg->setVisible(needsFFmpeg && !m_state->toolsReady());
    m_change->setVisible(review->isAI);
}
