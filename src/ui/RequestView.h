#pragma once

#include <QWidget>

class AdaptiveGridLayout;
class AppState;
class CollapsibleSection;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class RequestEdit;
class SymbolLabel;

// The AI request form for `AppState.currentAction`.
class RequestView : public QWidget
{
    Q_OBJECT

public:
    explicit RequestView(AppState* state, QWidget* parent = nullptr);

    QPushButton* askButton() const { return m_ask; }

protected:
    // The expanded section is the view's own state: it starts collapsed each time the panel appears.
    void hideEvent(QHideEvent* event) override;
    // Whether the AI is set up is read (from the keychain, for OpenRouter) only when the form is shown.
    void showEvent(QShowEvent* event) override;

private:
    void refreshAction();
    void refreshRequest();
    void refreshSent();
    void refreshSetup();

    AppState* m_state;
    QLabel* m_title;
    QWidget* m_presets;
    AdaptiveGridLayout* m_presetsLayout;
    RequestEdit* m_edit;
    CollapsibleSection* m_sent;
    QPlainTextEdit* m_sentText;
    QWidget* m_setupRow;
    SymbolLabel* m_setupHint;
    QWidget* m_playerRow = nullptr;
    QPushButton* m_ask;
};
