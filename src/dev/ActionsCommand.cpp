#include "DevCommands.h"
#include "core/AppState.h"

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
    AppState state;
    state.setFiles(paths);
    state.setKind(FileKinds::detect(paths));
    out << "Kind: " << FileKinds::rawValue(state.kind()) << '\n';
    for (const FileAction& action : state.actions()) {
        out << action.title << '\n';
    }
    return 0;
}
