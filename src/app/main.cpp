#include "core/AppState.h"
#include "exec/RunFolders.h"
#include "platform/SingleInstance.h"
#include "ui/FileDialogOpenPanel.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QThreadPool>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Trellick"));
    QApplication::setApplicationName(QStringLiteral("Trellick"));
    // The desktop entry's name, so that the desktop matches the window to its menu entry and icon.
    QApplication::setDesktopFileName(QStringLiteral("app.trellick.Trellick"));

    // Files handed over by the file manager's Open With, or typed after the program's name.
    const QStringList paths = SingleInstance::localPaths(QApplication::arguments().mid(1));
    SingleInstance instance;
    if (!instance.claim(paths)) {
        return 0;
    }

    // What runs of a program that died (killed, or the computer switched off) left behind; live runs'
    // folders are locked and stay.
    QThreadPool::globalInstance()->start([] { RunFolders::removeLeftovers(QDir::tempPath()); });

    Services services = Services::system();
    services.openPanel = std::make_shared<FileDialogOpenPanel>();
    AppState state(std::move(services));
    MainWindow window(&state);
    QObject::connect(&instance, &SingleInstance::openRequested, &window, [&](const QStringList& opened) {
        if (!opened.isEmpty()) {
            state.handleDrop(opened);
        }
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    window.show();
    if (!paths.isEmpty()) {
        state.handleDrop(paths);
    }
    return QApplication::exec();
}
