#pragma once

#include "core/DialogKind.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <optional>

class AppState;
class QDialog;
class QWidget;

// Keeps exactly one sheet open for `AppState.dialog`: opens the view for its kind, replaces it when
// the kind changes, closes it when the value is cleared, and clears the value when the user closes it.
class DialogRouter : public QObject
{
    Q_OBJECT

public:
    DialogRouter(AppState* state, QWidget* window);

    // The sheet that is open now, if any.
    QDialog* current() const { return m_open; }

private:
    void sync();
    QDialog* create(DialogKind kind);

    AppState* m_state;
    QWidget* m_window;
    QPointer<QDialog> m_open;
    std::optional<DialogKind> m_openKind;
};
