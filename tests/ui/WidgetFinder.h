#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
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

// Texts of the shown buttons (or labels) under `root` whose object names start with the prefix, in layout
// (creation) order.
template <typename T = QAbstractButton>
QStringList shownTexts(QWidget* root, const QString& objectNamePrefix)
{
    settle();
    QStringList texts;
    for (T* widget : root->findChildren<T*>()) {
        if (widget->objectName().startsWith(objectNamePrefix) && widget->isVisibleTo(root)) {
            texts.append(widget->text());
        }
    }
    return texts;
}

} // namespace WidgetFinder
