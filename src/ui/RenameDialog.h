#pragma once

#include "Sheet.h"

#include <QList>
#include <QPointer>
#include <QStringList>

class CollapsibleSection;
class NameSuggestJob;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// New names for the chosen files, optionally suggested by the AI.
class RenameDialog : public Sheet
{
    Q_OBJECT

public:
    explicit RenameDialog(AppState* state, QWidget* parent = nullptr);
    ~RenameDialog() override;

    QStringList names() const;
    bool keepCopy() const;

private:
    void refreshSuggest();
    void refreshSent();
    // Asks the AI for new names; the answer only fills the name fields.
    void suggest();
    void setProblem(const QString& problem);

    QList<QLineEdit*> m_nameFields;
    QCheckBox* m_keepCopy;
    QLineEdit* m_request;
    QPushButton* m_suggest;
    CollapsibleSection* m_sent;
    QPlainTextEdit* m_sentText;
    QLabel* m_problem;
    bool m_busy = false;
    QPointer<NameSuggestJob> m_job;
};
