#pragma once

#include "RoundedBox.h"

class AppState;
class SymbolLabel;

// The one-line notice over everything else, while `AppState.message` is set.
class NoticeBanner : public RoundedBox
{
    Q_OBJECT

public:
    explicit NoticeBanner(AppState* state, QWidget* parent = nullptr);

private:
    void refresh();

    AppState* m_state;
    SymbolLabel* m_text;
};
