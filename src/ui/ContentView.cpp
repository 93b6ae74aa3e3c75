#include "ContentView.h"

#include "ActionsView.h"
#include "DropZoneView.h"
#include "FileCardView.h"
#include "FirstScreenInfo.h"
#include "NoticeBanner.h"
#include "StagePanel.h"
#include "core/AppState.h"

#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ContentView::ContentView(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_column(new QVBoxLayout(this))
    , m_banner(new NoticeBanner(state, this))
    , m_dropZone(new DropZoneView(state, this))
    , m_firstScreen(new FirstScreenInfo(state, this))
    , m_stagePanel(new StagePanel(state, this))
{
    setObjectName(u"contentView"_s);
    m_column->setContentsMargins(20, 20, 20, 20);
    m_column->setSpacing(16);
    m_column->addWidget(m_banner);
    m_column->addWidget(m_dropZone);
    m_column->addWidget(m_firstScreen);
    m_column->addWidget(m_stagePanel);
    m_column->addStretch();
    connect(m_state, &AppState::filesChanged, this, &ContentView::refresh);
    connect(m_state, &AppState::detailsChanged, this, &ContentView::refresh);
    connect(m_state, &AppState::stageChanged, this, &ContentView::refresh);
    refresh();
}

void ContentView::setTargeted(bool targeted)
{
    m_dropZone->setTargeted(targeted);
}

void ContentView::refresh()
{
    const bool hasFiles = !m_state->files().isEmpty();
    if (hasFiles && !m_fileCard) {
        const int at = m_column->indexOf(m_stagePanel);
        m_fileCard = new FileCardView(m_state, this);
        m_actions = new ActionsView(m_state, this);
        m_column->insertWidget(at, m_fileCard);
        m_column->insertWidget(at + 1, m_actions);
    }
    m_dropZone->setVisible(!hasFiles);
    m_firstScreen->setVisible(!hasFiles);
    if (m_fileCard) {
        m_fileCard->setVisible(hasFiles && m_state->details().has_value());
        m_actions->setVisible(hasFiles);
    }
    m_stagePanel->setVisible(hasFiles && m_state->stage() != Stage::idle);
}
