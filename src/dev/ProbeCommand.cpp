#include "DevCommands.h"
#include "core/AppState.h"
#include "files/ProbeHelper.h"

#include <QFileInfo>
#include <QTextStream>

using namespace Qt::StringLiterals;

// The rows of the file's info, as the info dialog lists them.
int devProbe(const QStringList& args)
{
    if (args.size() != 1) {
        QTextStream(stderr) << "usage: trellick-dev probe PATH\n";
        return 2;
    }
    const QString path = QFileInfo(args.first()).absoluteFilePath();
    if (!QFileInfo::exists(path)) {
        QTextStream(stderr) << "That file could not be found.\n";
        return 1;
    }
    const FileDetails details = AppState::basicDetails(path);
    const MediaFacts facts = ProbeHelper::probeNow(path, details.kind);
    QTextStream out(stdout);
    out << "Name: " << details.name << '\n';
    out << "Kind: " << details.kindText << '\n';
    out << "Size: " << details.sizeText << '\n';
    for (const FactLine& line : facts.lines()) {
        out << line.label << ": " << line.value << '\n';
    }
    if (!facts.source.isEmpty()) {
        out << "Read with: " << facts.source << '\n';
    }
    return 0;
}
