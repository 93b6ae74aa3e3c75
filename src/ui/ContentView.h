#pragma once

#include <QWidget>

class ActionsView;
class AppState;
class DropZoneView;
class FileCardView;
class FirstScreenInfo;
class NoticeBanner;
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
    NoticeBanner* m_banner;
    DropZoneView* m_dropZone;
    FirstScreenInfo* m_firstScreen;
    FileCardView* m_fileCard;
    ActionsView* m_actions;
    StagePanel* m_stagePanel;
};
