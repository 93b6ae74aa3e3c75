// Starts like the application does (one AppState, the main window), and quits once the window is shown.
#include "core/AppState.h"
#include "ui/FileDialogOpenPanel.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Trellick"));
    QApplication::setApplicationName(QStringLiteral("Trellick"));
    Services services = Services::system();
    services.openPanel = std::make_shared<FileDialogOpenPanel>();
    AppState state(std::move(services));
    MainWindow window(&state);
    window.show();
    QTimer::singleShot(0, &app, &QApplication::quit);
    return QApplication::exec();
}
