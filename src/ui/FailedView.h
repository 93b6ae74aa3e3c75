#pragma once

#include <QWidget>

class AppState;
class CollapsibleSection;
class QLabel;
class QPlainTextEdit;

// The failed stage: the headline, the raw details on request, Back and Close.
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
};
