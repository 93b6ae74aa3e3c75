#pragma once

#include <QMainWindow>

class AppState;
class ContentView;
class DialogRouter;

// The application's one window: the toolbar, the scrolling column and the sheets.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(AppState* state, QWidget* parent = nullptr);

    ContentView* contentView() const { return m_content; }
    DialogRouter* dialogRouter() const { return m_router; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    AppState* m_state;
    ContentView* m_content;
    DialogRouter* m_router;
};
