#include "DesktopWorkspace.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

void openContainingFolder(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

} // namespace

void DesktopWorkspace::copyText(const QString& text)
{
    // Only a graphical application has a clipboard.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QGuiApplication::clipboard()->setText(text);
    }
}

void DesktopWorkspace::reveal(const QStringList& paths)
{
    if (paths.isEmpty()) {
        return;
    }
    QStringList uris;
    for (const QString& path : paths) {
        uris << QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    }
    QDBusMessage call
        = QDBusMessage::createMethodCall(u"org.freedesktop.FileManager1"_s, u"/org/freedesktop/FileManager1"_s,
                                         u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    call << uris << QString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openContainingFolder(paths.first());
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    const QString first = paths.first();
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [first](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (w->isError()) {
            openContainingFolder(first);
        }
    });
}

void DesktopWorkspace::open(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
