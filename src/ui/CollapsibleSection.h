#pragma once

#include <QWidget>

class QToolButton;

// A titled section that the user expands and collapses; `expandedChanged` lets the owner fill the
// content only while it is shown.
class CollapsibleSection : public QWidget
{
    Q_OBJECT

public:
    CollapsibleSection(const QString& title, const QString& objectName, QWidget* content, QWidget* parent = nullptr);

    bool isExpanded() const;
    void setExpanded(bool expanded);

signals:
    void expandedChanged(bool expanded);

private:
    QToolButton* m_toggle;
    QWidget* m_content;
};
