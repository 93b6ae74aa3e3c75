#pragma once

#include <QWidget>

class ActionsView;
class AppState;
class DropZoneView;
class FileCardView;
class FirstScreenInfo;
class NoticeBanner;
class QVBoxLayout;
class StagePanel;

// The window's one column: the notice, then the drop zone or the chosen file with its actions,
// then the panel of the current stage.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    explicit ContentView(AppState* state, QWidget* parent = nullptr);

    DropZoneView* dropZone() const { return m_dropZone; }
    void setTargeted(bool targeted);

private:
    void refresh();

    AppState* m_state;
    QVBoxLayout* m_column;
    NoticeBanner* m_banner;
    DropZoneView* m_dropZone;
    FirstScreenInfo* m_firstScreen;
    // Made with the first file, so that the first screen starts without them.
    FileCardView* m_fileCard = nullptr;
    ActionsView* m_actions = nullptr;
    StagePanel* m_stagePanel;
};
