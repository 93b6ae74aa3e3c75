#pragma once

#include <QDialog>

class AppState;
class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

// A window-modal dialog over the main window with the shared parts of every sheet: the title, a
// column for the content, the red notice line for `AppState.message`, and a button row.
class Sheet : public QDialog
{
    Q_OBJECT

public:
    Sheet(AppState* state, const QString& title, const QString& objectName, QWidget* parent = nullptr);

protected:
    QVBoxLayout* content() const { return m_content; }
    QHBoxLayout* buttons() const { return m_buttons; }
    // The title row; windows like settings and history put their buttons there, after the title.
    QHBoxLayout* header() const { return m_header; }
    // Shows `AppState.message` above the buttons while it is set.
    void showStateMessage();
    // "Cancel" or "Close": closes the sheet and changes nothing else.
    QPushButton* addCloseButton(const QString& text);
    // The confirming button: the default button, pressed by Return.
    QPushButton* addDefaultButton(const QString& text, const QString& objectName);

    AppState* m_state;

private:
    QVBoxLayout* m_content;
    QLabel* m_message;
    QHBoxLayout* m_buttons;
    QHBoxLayout* m_header;
};
