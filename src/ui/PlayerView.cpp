#include "PlayerView.h"

#include "Style.h"
#include "core/AppState.h"
#include "files/Format.h"
#include "platform/MediaPlayer.h"
#include "platform/PlayerModule.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

PlayerView::PlayerView(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_video(PlayerModule::videoView(this))
    , m_play(new QToolButton(this))
    , m_position(new QSlider(Qt::Horizontal, this))
    , m_time(Style::label(QString(), Style::Text::caption, this))
{
    setObjectName(u"playerView"_s);
    if (!m_video) {
        m_video = new QWidget(this); // no module, no player: an empty picture area
    }
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
        if (m_player->isPlaying()) {
            m_player->pause();
        } else {
            m_player->play();
        }
    });
    connect(m_position, &QSlider::sliderMoved, this, [this](int ms) {
        if (m_player) {
            m_player->seek(ms / 1000.0);
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
        m_player->setVideoView(nullptr);
    }
    m_player = m_state->player();
    const bool audio = m_state->kind() == FileKind::audio;
    m_video->setVisible(!audio);
    setFixedHeight(audio ? 60 : 260);
    if (m_player) {
        if (!audio) {
            m_player->setVideoView(m_video);
        }
        connect(m_player, &MediaPlayer::changed, this, &PlayerView::refreshControls);
    }
    refreshControls();
}

void PlayerView::refreshControls()
{
    const bool playing = m_player && m_player->isPlaying();
    m_play->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_play->setAccessibleName(playing ? u"Pause"_s : u"Play"_s);
    const double duration = m_player ? m_player->duration() : 0;
    const double position = m_player ? m_player->position() : 0;
    // The slider counts milliseconds.
    m_position->setRange(0, int(duration * 1000));
    if (!m_position->isSliderDown()) {
        m_position->setValue(int(position * 1000));
    }
    m_time->setText(Format::time(position) + u" / "_s + Format::time(duration));
}
