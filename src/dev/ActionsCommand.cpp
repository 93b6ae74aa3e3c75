#include "DevCommands.h"
#include "base/EnumNames.h"
#include "files/Actions.h"

#include <QFileInfo>
#include <QTextStream>

int devActions(const QStringList& args)
{
    QTextStream out(stdout);
    if (args.isEmpty()) {
        QTextStream(stderr) << "usage: trellick-dev actions PATH...\n";
        return 2;
    }
    QStringList paths;
    for (const QString& arg : args) {
        paths << QFileInfo(arg).absoluteFilePath();
    }
    const FileKind kind = FileKinds::detect(paths);
    out << "Kind: " << EnumNames::name(kind) << '\n';
    for (const FileAction& action : Actions::forSelection(kind, paths.size(), paths)) {
        out << action.title << '\n';
    }
    return 0;
}
