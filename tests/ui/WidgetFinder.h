#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QWidget>

// Tests find widgets the way a screen reader does: by accessible name, among those shown.
namespace WidgetFinder {

// Lets queued showing and deferred deletion of rebuilt rows happen, as the event loop would.
inline void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

template <typename T = QWidget>
T* shown(QWidget* root, const QString& accessibleName)
{
    settle();
    for (T* widget : root->findChildren<T*>()) {
        if (widget->accessibleName() == accessibleName && widget->isVisibleTo(root)) {
            return widget;
        }
    }
    return nullptr;
}

template <typename T = QWidget>
T* shownByObjectName(QWidget* root, const QString& objectName)
{
    settle();
    for (T* widget : root->findChildren<T*>(objectName)) {
        if (widget->isVisibleTo(root)) {
            return widget;
        }
    }
    return nullptr;
}

// Names of the shown buttons under `root`, in layout (creation) order.
inline QStringList buttonTexts(QWidget* root, const QString& objectNamePrefix)
{
    settle();
    QStringList texts;
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (button->objectName().startsWith(objectNamePrefix) && button->isVisibleTo(root)) {
            texts.append(button->text());
        }
    }
    return texts;
}

} // namespace WidgetFinder
