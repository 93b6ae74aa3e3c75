#pragma once

#include <QWidget>

class AppState;
class QButtonGroup;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;
class SymbolLabel;

// The plan under review: the chosen option's summary, steps, exact command, warnings and output
// names, and Run.
class PlanView : public QWidget
{
    Q_OBJECT

public:
    explicit PlanView(AppState* state, QWidget* parent = nullptr);

    QPushButton* runButton() const { return m_run; }

private:
    void refresh();
    void rebuildVersions();

    AppState* m_state;
    SymbolLabel* m_fixedAfter; // the failure a fixed plan answers, above the options
    QWidget* m_versions;
    QButtonGroup* m_versionGroup;
    QLabel* m_summary;
    QLabel* m_model;
    QLabel* m_steps;
    QPlainTextEdit* m_command;
    QWidget* m_warnings;
    QVBoxLayout* m_warningsLayout;
    QLabel* m_savesAs;
    SymbolLabel* m_needsFFmpeg;
    QPushButton* m_run;
    QPushButton* m_change;
};
