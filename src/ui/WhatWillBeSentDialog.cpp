#include "WhatWillBeSentDialog.h"

#include "Style.h"
#include "ai/AIPrompts.h"
#include "core/AppState.h"
#include "store/AISettings.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

WhatWillBeSentDialog::WhatWillBeSentDialog(AppState* state, QWidget* parent)
    : Sheet(state, u"What will be sent"_s, u"whatWillBeSentDialog"_s, parent)
{
    setMinimumWidth(560);
    content()->addWidget(
        Style::label(u"This is everything that leaves your Mac for this request. The file itself is never sent."_s,
                     Style::Text::callout, this));
    if (const auto prompt = m_state->currentPrompt()) {
        auto* text
            = new QPlainTextEdit(AIPrompts::preview(m_state->providerLabel(), prompt->first, prompt->second), this);
        text->setReadOnly(true);
        text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        text->setMinimumHeight(240);
        text->setMaximumHeight(380);
        Style::name(text, u"What will be sent"_s, u"sentText"_s);
        content()->addWidget(text, 1);
    }
    content()->addWidget(
        Style::label(u"You can look at this again any time with “What will be sent” under the request box."_s,
                     Style::Text::callout, this));

    buttons()->addStretch();
    addCloseButton(u"Cancel"_s);
    QPushButton* sendButton = addDefaultButton(u"Send"_s, u"send"_s);
    connect(sendButton, &QPushButton::clicked, this, &WhatWillBeSentDialog::send);
}

void WhatWillBeSentDialog::send()
{
    // Clearing the dialog closes this sheet, so the state is kept at hand for the last call.
    AppState* state = m_state;
    state->settings().setAcknowledgedSend(true);
    state->setDialog(std::nullopt);
    state->askAI();
}
