#pragma once

#include <QMainWindow>

class AppState;

// The application's one window.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(AppState* state, QWidget* parent = nullptr);

private:
    AppState* m_state;
};
