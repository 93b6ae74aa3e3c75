#pragma once

#include <QPointer>
#include <QWidget>

class AppState;
class MediaPlayer;
class QLabel;
class QSlider;
class QToolButton;

// The inline player of the file card: the picture (for video) and a row of controls. It follows
// `AppState.player` and is pointed at each new player.
class PlayerView : public QWidget
{
    Q_OBJECT

public:
    explicit PlayerView(AppState* state, QWidget* parent = nullptr);

private:
    void attach();
    void refreshControls();

    AppState* m_state;
    QPointer<MediaPlayer> m_player;
    QWidget* m_video;
    QToolButton* m_play;
    QSlider* m_position;
    QLabel* m_time;
};
