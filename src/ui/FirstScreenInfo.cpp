#include "FirstScreenInfo.h"

#include "Style.h"
#include "SymbolLabel.h"
#include "core/AppState.h"
#include "platform/DesktopEntry.h"
#include "store/AISettings.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

FirstScreenInfo::FirstScreenInfo(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_notReady(new QWidget(this))
    , m_ready(new SymbolLabel(u"checkmark.seal"_s, QString(), Style::Text::body, this))
{
    m_ready->setObjectName(u"aiReady"_s);
    setObjectName(u"firstScreenInfo"_s);
    auto* notReadyText = new SymbolLabel(
        u"sparkles"_s,
        u"AI is not set up yet. Easy actions (rename, zip, convert pictures and audio, PDF tools) work without it."_s,
        Style::Text::body, m_notReady);
    QPushButton* setUp = Style::button(u"Set up AI"_s, u"setUpAI"_s, m_notReady);
    auto* notReadyRow = new QHBoxLayout(m_notReady);
    notReadyRow->setContentsMargins(0, 0, 0, 0);
    notReadyRow->addWidget(notReadyText, 1);
    notReadyRow->addWidget(setUp, 0, Qt::AlignVCenter);

    auto* where
        = new SymbolLabel(u"folder.badge.questionmark"_s, u"Trellick is in the Open With menu of your file manager."_s,
                          Style::Text::callout, this);
    where->setObjectName(u"openWithNote"_s);
    where->setSecondary();
    where->setVisible(DesktopEntry::offeredInOpenWith());
    auto* privacy = new SymbolLabel(
        u"lock.shield"_s,
        u"Your files are never changed. New files are saved next to the original. Only your typed request and the "
        "file's name, size and basic facts go to the AI, never the file's contents."_s,
        Style::Text::callout, this);
    privacy->setSecondary();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 0, 4, 0);
    column->setSpacing(10);
    column->addWidget(m_ready);
    column->addWidget(m_notReady);
    column->addWidget(where);
    column->addWidget(privacy);

    connect(setUp, &QPushButton::clicked, m_state, [this] { m_state->setDialog(DialogKind::settings); });
    connect(&m_state->settings(), &AISettings::channelChanged, this, &FirstScreenInfo::refresh);
    refresh();
}

void FirstScreenInfo::refresh()
{
    const bool ready = m_state->settings().channel().has_value();
    m_ready->setText(ready ? u"AI is ready: "_s + m_state->providerLabel() + u'.' : QString());
    m_ready->setVisible(ready);
    m_notReady->setVisible(!ready);
}
