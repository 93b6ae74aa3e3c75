#pragma once

#include "RoundedBox.h"

class AdaptiveGridLayout;
class AppState;
class PlayerView;
class QLabel;
class QVBoxLayout;

// The chosen file (or files): icon, name, kind and size, the facts read from it, and the buttons to
// choose another or clear the choice. Shown only while `AppState.details` is set.
class FileCardView : public RoundedBox
{
    Q_OBJECT

public:
    explicit FileCardView(AppState* state, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    void refreshFacts();
    void refreshPlayer();

    AppState* m_state;
    QLabel* m_icon;
    QLabel* m_title;
    QLabel* m_subtitle;
    QWidget* m_facts;
    AdaptiveGridLayout* m_factsLayout;
    PlayerView* m_player = nullptr;
    QVBoxLayout* m_column = nullptr;
};
