#pragma once

#include <QWidget>

class AppState;
class QLabel;
class QProgressBar;

// The one-time download of ffmpeg before a run that needs it.
class InstallView : public QWidget
{
    Q_OBJECT

public:
    explicit InstallView(AppState* state, QWidget* parent = nullptr);

private:
    void refresh();

    AppState* m_state;
    QProgressBar* m_progress;
    QLabel* m_text;
};
