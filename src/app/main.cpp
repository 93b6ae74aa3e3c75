#include "core/AppState.h"
#include "ui/MainWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Trellick"));
    QApplication::setApplicationName(QStringLiteral("Trellick"));
    QApplication::setDesktopFileName(QStringLiteral("trellick"));

    AppState state;
    MainWindow window(&state);
    window.show();
    return QApplication::exec();
}
