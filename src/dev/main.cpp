// trellick-dev: drives the application's flows from a script, without a window. For developers and
// automated checks only; it is not installed for users.
#include "DevCommands.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
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
