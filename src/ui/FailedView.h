#pragma once

#include <QWidget>

class AppState;
class CollapsibleSection;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The failed stage: the headline, the raw details on request, Back and Close, and "Try to fix" when a
// failed AI plan may be mended by asking again (or the sentence saying why it cannot).
class FailedView : public QWidget
{
    Q_OBJECT

public:
    explicit FailedView(AppState* state, QWidget* parent = nullptr);

protected:
    // The expanded section is the view's own state: it starts collapsed each time the panel appears.
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();

    AppState* m_state;
    QLabel* m_text;
    CollapsibleSection* m_details;
    QPlainTextEdit* m_detailsText;
    QLabel* m_fixNote;
    QPushButton* m_tryFix;
};
