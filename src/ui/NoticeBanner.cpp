#include "NoticeBanner.h"

#include "Style.h"
#include "SymbolLabel.h"
#include "core/AppState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

NoticeBanner::NoticeBanner(AppState* state, QWidget* parent)
    : RoundedBox(10, Fill::secondary, parent)
    , m_state(state)
    , m_text(new SymbolLabel(u"info.circle.fill"_s, QString(), Style::Text::body, this))
{
    setObjectName(u"noticeBanner"_s);
    m_text->setSymbolColor(palette().color(QPalette::Highlight));
    m_text->textLabel()->setObjectName(u"noticeText"_s);
    QPushButton* dismiss = Style::button(u"Dismiss"_s, u"dismissNotice"_s, this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(8);
    row->addWidget(m_text, 1);
    row->addWidget(dismiss, 0, Qt::AlignVCenter);

    connect(dismiss, &QPushButton::clicked, m_state, [this] { m_state->setMessage(std::nullopt); });
    connect(m_state, &AppState::messageChanged, this, &NoticeBanner::refresh);
    refresh();
}

void NoticeBanner::refresh()
{
    const std::optional<QString> message = m_state->message();
    setVisible(message.has_value());
    m_text->setText(message.value_or(QString()));
}
