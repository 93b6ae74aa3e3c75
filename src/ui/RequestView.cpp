#include "RequestView.h"

#include "AdaptiveGridLayout.h"
#include "CollapsibleSection.h"
#include "RequestEdit.h"
#include "Style.h"
#include "SymbolLabel.h"
#include "ai/AIPrompts.h"
#include "core/AppState.h"
#include "store/AISettings.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

RequestView::RequestView(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_title(Style::label(QString(), Style::Text::headline, this))
    , m_presets(new QWidget(this))
    , m_presetsLayout(new AdaptiveGridLayout(200, 6, 6, m_presets))
    , m_edit(new RequestEdit(this))
    , m_sentText(new QPlainTextEdit(this))
    , m_setupRow(new QWidget(this))
    , m_setupHint(new SymbolLabel(u"exclamationmark.triangle"_s, QString(), Style::Text::callout, m_setupRow))
    , m_ask(Style::button(u"Ask AI"_s, u"askAI"_s, this))
{
    setObjectName(u"requestView"_s);
    QLabel* explain = Style::label(
        u"Say what you want in your own words. The AI turns it into a command, and nothing runs until you press Run."_s,
        Style::Text::callout, this);
    Style::secondary(explain);

    Style::name(m_edit, u"Request"_s, u"requestText"_s);
    m_sentText->setReadOnly(true);
    m_sentText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_sentText->setMinimumHeight(160);
    m_sentText->setMaximumHeight(260);
    Style::name(m_sentText, u"What will be sent"_s, u"sentText"_s);
    m_sent = new CollapsibleSection(u"What will be sent"_s, u"showSent"_s, m_sentText, this);

    m_setupHint->setObjectName(u"setupHint"_s);
    m_setupHint->setColor(Style::orange());
    QPushButton* setUp = Style::button(u"Set up AI"_s, u"requestSetUpAI"_s, m_setupRow);
    auto* setupLayout = new QHBoxLayout(m_setupRow);
    setupLayout->setContentsMargins(0, 0, 0, 0);
    setupLayout->addWidget(m_setupHint, 1);
    setupLayout->addWidget(setUp, 0, Qt::AlignVCenter);

    m_playerRow = new QWidget(this);
    QLabel* playerTime = Style::label(u"Player time:"_s, Style::Text::callout, m_playerRow);
    playerTime->setWordWrap(false);
    QPushButton* useStart = Style::button(u"Use this time as start"_s, u"useTimeAsStart"_s, m_playerRow);
    QPushButton* useEnd = Style::button(u"Use this time as end"_s, u"useTimeAsEnd"_s, m_playerRow);
    useStart->setAutoDefault(false);
    useEnd->setAutoDefault(false);
    auto* playerLayout = new QHBoxLayout(m_playerRow);
    playerLayout->setContentsMargins(0, 0, 0, 0);
    playerLayout->setSpacing(8);
    playerLayout->addWidget(playerTime);
    playerLayout->addWidget(useStart);
    playerLayout->addWidget(useEnd);
    playerLayout->addStretch();
    connect(useStart, &QPushButton::clicked, m_state, [this] { m_state->insertCurrentTime(u"from"_s); });
    connect(useEnd, &QPushButton::clicked, m_state, [this] { m_state->insertCurrentTime(u"to"_s); });
    connect(m_state, &AppState::playerChanged, this, [this] { m_playerRow->setVisible(m_state->player() != nullptr); });
    m_playerRow->setVisible(m_state->player() != nullptr);

    QPushButton* cancel = Style::button(u"Cancel"_s, u"cancelRequest"_s, this);
    m_ask->setDefault(true);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(8);
    bottom->addWidget(m_setupRow, 1);
    bottom->addStretch();
    bottom->addWidget(cancel);
    bottom->addWidget(m_ask);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(m_title);
    column->addWidget(explain);
    column->addWidget(m_presets);
    column->addWidget(m_playerRow);
    column->addWidget(m_edit);
    column->addWidget(m_sent);
    column->addLayout(bottom);

    // Return presses the default button, in the request field and anywhere else in the window.
    connect(m_edit, &RequestEdit::submitted, m_ask, &QPushButton::animateClick);
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, m_ask, &QPushButton::animateClick);
    }
    connect(m_edit, &QPlainTextEdit::textChanged, this, [this] {
        if (m_edit->toPlainText() != m_state->requestText()) {
            m_state->setRequestText(m_edit->toPlainText());
        }
    });
    connect(setUp, &QPushButton::clicked, m_state, [this] { m_state->setDialog(DialogKind::settings); });
    connect(cancel, &QPushButton::clicked, m_state, &AppState::cancelPlan);
    connect(m_ask, &QPushButton::clicked, m_state, &AppState::requestAI);
    connect(m_sent, &CollapsibleSection::expandedChanged, this, &RequestView::refreshSent);
    connect(m_state, &AppState::currentActionChanged, this, &RequestView::refreshAction);
    connect(m_state, &AppState::requestTextChanged, this, &RequestView::refreshRequest);
    connect(m_state, &AppState::detailsChanged, this, &RequestView::refreshSent);
    AISettings& settings = m_state->settings();
    connect(&settings, &AISettings::providerChanged, this, &RequestView::refreshSent);
    connect(&settings, &AISettings::ollamaModelChanged, this, &RequestView::refreshSent);
    connect(&settings, &AISettings::channelChanged, this, &RequestView::refreshSetup);
    refreshAction();
    refreshRequest();
}

void RequestView::refreshAction()
{
    const FileAction action = m_state->currentAction().value_or(FileAction{});
    m_title->setText(action.title);
    m_edit->setPlaceholderText(u"For example: "_s + action.example);
    Style::clear(m_presetsLayout);
    for (const QString& preset : action.presets) {
        QPushButton* button = Style::button(preset, u"preset"_s, m_presets);
        connect(button, &QPushButton::clicked, m_state, [this, preset] { m_state->setRequestText(preset); });
        m_presetsLayout->addWidget(button);
    }
    m_presets->setVisible(!action.presets.isEmpty());
    refreshSent();
}

void RequestView::refreshRequest()
{
    if (m_edit->toPlainText() != m_state->requestText()) {
        m_edit->setPlainText(m_state->requestText());
        m_edit->moveCursor(QTextCursor::End);
    }
    m_ask->setEnabled(!m_state->requestText().trimmed().isEmpty());
    refreshSent();
}

void RequestView::refreshSent()
{
    if (!m_sent->isExpanded()) {
        return;
    }
    const auto prompt = m_state->currentPrompt();
    const QString text
        = prompt ? AIPrompts::preview(m_state->providerLabel(), prompt->first, prompt->second) : QString();
    if (m_sentText->toPlainText() != text) {
        m_sentText->setPlainText(text);
    }
}

void RequestView::refreshSetup()
{
    const AISettings& settings = m_state->settings();
    const bool ready = settings.channel().has_value();
    m_setupHint->setText(ready ? QString() : u"AI is not set up. "_s + settings.setupHint());
    m_setupRow->setVisible(!ready);
}

void RequestView::showEvent(QShowEvent* event)
{
    refreshSetup();
    QWidget::showEvent(event);
}

void RequestView::hideEvent(QHideEvent* event)
{
    if (!event->spontaneous()) {
        m_sent->setExpanded(false);
    }
    QWidget::hideEvent(event);
}
