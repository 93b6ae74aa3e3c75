#include "WhatWillBeSentDialog.h"

#include "Style.h"
#include "ai/AIPrompts.h"
#include "core/AppState.h"
#include "store/AISettings.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

WhatWillBeSentDialog::WhatWillBeSentDialog(AppState* state, QWidget* parent)
    : Sheet(state, u"What will be sent"_s, u"whatWillBeSentDialog"_s, parent)
    , m_text(new QPlainTextEdit(this))
{
    setMinimumWidth(560);
    content()->addWidget(
        Style::label(u"This is everything that leaves your computer for this request. The file itself is never sent."_s,
                     Style::Text::callout, this));
    m_text->setReadOnly(true);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setMinimumHeight(240);
    m_text->setMaximumHeight(380);
    Style::name(m_text, u"What will be sent"_s, u"sentText"_s);
    content()->addWidget(m_text, 1);
    content()->addWidget(
        Style::label(u"You can look at this again any time with “What will be sent” under the request box."_s,
                     Style::Text::callout, this));
    // Facts probed while the sheet is open change the prompt: the text shown follows, so that nothing goes
    // out unseen.
    for (auto changed : {&AppState::detailsChanged, &AppState::requestTextChanged, &AppState::currentActionChanged,
                         &AppState::filesChanged}) {
        connect(m_state, changed, this, &WhatWillBeSentDialog::follow);
    }
    follow();

    buttons()->addStretch();
    addCloseButton(u"Cancel"_s);
    QPushButton* sendButton = addDefaultButton(u"Send"_s, u"send"_s);
    connect(sendButton, &QPushButton::clicked, this, &WhatWillBeSentDialog::send);
}

void WhatWillBeSentDialog::follow()
{
    m_prompt = m_state->currentPrompt();
    m_text->setVisible(m_prompt.has_value());
    const int scrolled = m_text->verticalScrollBar()->value();
    m_text->setPlainText(m_prompt ? AIPrompts::preview(m_state->providerLabel(), m_prompt->first, m_prompt->second)
                                  : QString());
    m_text->verticalScrollBar()->setValue(scrolled);
}

void WhatWillBeSentDialog::send()
{
    // Clearing the dialog closes this sheet, so what is needed is kept at hand for the last calls.
    AppState* state = m_state;
    const auto prompt = m_prompt;
    state->settings().setAcknowledgedSend(true);
    state->setDialog(std::nullopt);
    if (prompt) {
        state->askAI(prompt);
    }
}
