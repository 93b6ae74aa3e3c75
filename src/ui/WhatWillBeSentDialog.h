#pragma once

#include "Sheet.h"

// The consent step before the first request goes to an AI: the exact texts that would leave the computer.
class WhatWillBeSentDialog : public Sheet
{
    Q_OBJECT

public:
    explicit WhatWillBeSentDialog(AppState* state, QWidget* parent = nullptr);

private:
    void send();
};
