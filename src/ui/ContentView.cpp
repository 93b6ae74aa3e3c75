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
    , m_banner(new NoticeBanner(state, this))
    , m_dropZone(new DropZoneView(state, this))
    , m_firstScreen(new FirstScreenInfo(state, this))
    , m_fileCard(new FileCardView(state, this))
    , m_actions(new ActionsView(state, this))
    , m_stagePanel(new StagePanel(state, this))
{
    setObjectName(u"contentView"_s);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    column->addWidget(m_banner);
    column->addWidget(m_dropZone);
    column->addWidget(m_firstScreen);
    column->addWidget(m_fileCard);
    column->addWidget(m_actions);
    column->addWidget(m_stagePanel);
    column->addStretch();
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
    m_dropZone->setVisible(!hasFiles);
    m_firstScreen->setVisible(!hasFiles);
    m_fileCard->setVisible(hasFiles && m_state->details().has_value());
    m_actions->setVisible(hasFiles);
    m_stagePanel->setVisible(hasFiles && m_state->stage() != Stage::idle);
}
