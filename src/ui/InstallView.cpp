#include "InstallView.h"

#include "Style.h"
#include "core/AppState.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

InstallView::InstallView(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_progress(new QProgressBar(this))
    , m_text(Style::label(QString(), Style::Text::caption, this))
{
    setObjectName(u"installView"_s);
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    Style::name(m_progress, u"Download progress"_s, u"installProgress"_s);
    Style::secondary(m_text);
    m_text->setObjectName(u"installText"_s);
    QPushButton* cancel = Style::button(u"Cancel"_s, u"cancelInstall"_s, this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(Style::label(u"Getting ffmpeg ready (one time)"_s, Style::Text::headline, this));
    column->addWidget(m_progress);
    column->addWidget(m_text);
    column->addWidget(cancel, 0, Qt::AlignLeft);
    connect(cancel, &QPushButton::clicked, m_state, [this] { m_state->installer().cancel(); });
    connect(m_state, &AppState::installFractionChanged, this, &InstallView::refresh);
    connect(m_state, &AppState::installTextChanged, this, &InstallView::refresh);
    refresh();
}

void InstallView::refresh()
{
    m_progress->setValue(int(std::clamp(m_state->installFraction(), 0.0, 1.0) * 1000));
    m_text->setText(m_state->installText());
}
