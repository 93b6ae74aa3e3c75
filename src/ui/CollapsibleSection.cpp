#include "CollapsibleSection.h"

#include "Style.h"

#include <QToolButton>
#include <QVBoxLayout>

CollapsibleSection::CollapsibleSection(const QString& title, const QString& objectName, QWidget* content,
                                       QWidget* parent)
    : QWidget(parent)
    , m_toggle(new QToolButton(this))
    , m_content(content)
{
    m_toggle->setText(title);
    m_toggle->setCheckable(true);
    m_toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toggle->setArrowType(Qt::RightArrow);
    m_toggle->setAutoRaise(true);
    Style::name(m_toggle, title, objectName);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(m_toggle, 0, Qt::AlignLeft);
    column->addWidget(m_content);
    m_content->setParent(this);
    m_content->hide();
    connect(m_toggle, &QToolButton::toggled, this, &CollapsibleSection::setExpanded);
}

bool CollapsibleSection::isExpanded() const
{
    return m_toggle->isChecked();
}

void CollapsibleSection::setExpanded(bool expanded)
{
    m_toggle->setChecked(expanded);
    m_toggle->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
    if (m_content->isVisibleTo(this) != expanded) {
        m_content->setVisible(expanded);
        emit expandedChanged(expanded);
    }
}
