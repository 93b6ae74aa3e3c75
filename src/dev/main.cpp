// trellick-dev: drives the application's flows from a script; only `screenshots` shows the window.
// For developers and automated checks only; it is not installed for users.
#include "DevCommands.h"

#include <QApplication>
#include <QTextStream>
#include <memory>

int main(int argc, char** argv)
{
    // Only the commands that show the window need a display.
    const QString first = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const QList<DevCommand>& all = devCommands();
    const bool needsWindow
        = std::any_of(all.begin(), all.end(), [&](const DevCommand& c) { return c.name == first && c.needsWindow; });
    std::unique_ptr<QCoreApplication> app
        = needsWindow ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Trellick"));
    QCoreApplication::setApplicationName(QStringLiteral("Trellick"));

    QStringList args = QCoreApplication::arguments().mid(1);
    const QList<DevCommand>& commands = devCommands();
    if (!args.isEmpty()) {
        const QString name = args.takeFirst();
        for (const DevCommand& command : commands) {
            if (command.name == name) {
                return command.run(args);
            }
        }
    }
    QTextStream err(stderr);
    err << "usage: trellick-dev COMMAND [ARGS...]\n";
    for (const DevCommand& command : commands) {
        err << "  " << command.name << ' ' << command.usage << '\n';
    }
    return 2;
}
