#include "PlayerView.h"

#include "Style.h"
#include "core/AppState.h"
#include "files/Format.h"
#include "platform/MediaPlayer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMediaPlayer>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVideoWidget>

using namespace Qt::StringLiterals;

PlayerView::PlayerView(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_video(new QVideoWidget(this))
    , m_play(new QToolButton(this))
    , m_position(new QSlider(Qt::Horizontal, this))
    , m_time(Style::label(QString(), Style::Text::caption, this))
{
    setObjectName(u"playerView"_s);
    // The picture area is black like any player's, in light and dark palettes alike.
    QPalette black = m_video->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_video->setPalette(black);
    m_video->setAutoFillBackground(true);
    Style::name(m_play, u"Play"_s, u"playPause"_s);
    Style::name(m_position, u"Playback position"_s, u"playbackPosition"_s);
    m_time->setWordWrap(false);
    Style::secondary(m_time);
    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(8, 4, 8, 4);
    controls->setSpacing(8);
    controls->addWidget(m_play);
    controls->addWidget(m_position, 1);
    controls->addWidget(m_time);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_video, 1);
    column->addLayout(controls);

    connect(m_play, &QToolButton::clicked, this, [this] {
        if (!m_player) {
            return;
        }
        if (m_player->playbackState() == QMediaPlayer::PlayingState) {
            m_player->pause();
        } else {
            m_player->play();
        }
    });
    connect(m_position, &QSlider::sliderMoved, this, [this](int ms) {
        if (m_player) {
            m_player->setPosition(ms);
        }
    });
    connect(m_state, &AppState::playerChanged, this, &PlayerView::attach);
    connect(m_state, &AppState::kindChanged, this, &PlayerView::attach);
    attach();
}

void PlayerView::attach()
{
    if (m_player) {
        m_player->disconnect(this);
        m_player->setVideoOutput(nullptr);
    }
    MediaPlayer* player = m_state->player();
    m_player = player ? player->mediaPlayer() : nullptr;
    const bool audio = m_state->kind() == FileKind::audio;
    m_video->setVisible(!audio);
    setFixedHeight(audio ? 60 : 260);
    if (m_player) {
        if (!audio) {
            m_player->setVideoOutput(m_video);
        }
        connect(m_player, &QMediaPlayer::positionChanged, this, &PlayerView::refreshControls);
        connect(m_player, &QMediaPlayer::durationChanged, this, &PlayerView::refreshControls);
        connect(m_player, &QMediaPlayer::playbackStateChanged, this, &PlayerView::refreshControls);
    }
    refreshControls();
}

void PlayerView::refreshControls()
{
    const bool playing = m_player && m_player->playbackState() == QMediaPlayer::PlayingState;
    m_play->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_play->setAccessibleName(playing ? u"Pause"_s : u"Play"_s);
    const qint64 duration = m_player ? m_player->duration() : 0;
    const qint64 position = m_player ? m_player->position() : 0;
    m_position->setRange(0, int(duration));
    if (!m_position->isSliderDown()) {
        m_position->setValue(int(position));
    }
    m_time->setText(Format::time(double(position) / 1000) + u" / "_s + Format::time(double(duration) / 1000));
}
