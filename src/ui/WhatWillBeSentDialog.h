#pragma once

#include "Sheet.h"

#include <QString>
#include <optional>
#include <utility>

class QPlainTextEdit;

// The consent step before the first request goes to an AI: the exact texts that would leave the computer.
class WhatWillBeSentDialog : public Sheet
{
    Q_OBJECT

public:
    explicit WhatWillBeSentDialog(AppState* state, QWidget* parent = nullptr);

private:
    void follow();
    void send();

    QPlainTextEdit* m_text;
    // The texts shown, which Send sends as they stand.
    std::optional<std::pair<QString, QString>> m_prompt;
};
