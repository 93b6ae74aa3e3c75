// probe-bench COUNT PATH...: loads the files one after the other into an AppState made as the application
// makes it, COUNT times over, each time waiting until the file's facts are applied on the main thread, as
// the card shows them. COUNT 0 only starts up; the first load also starts the probe worker.
#include "core/AppState.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool ok = false;
    const int count = args.size() >= 3 ? args[1].toInt(&ok) : 0;
    if (!ok || count < 0) {
        QTextStream(stderr) << "usage: probe-bench COUNT PATH...\n";
        return 2;
    }
    AppState state(Services::system());
    QEventLoop loop;
    // Every reader names itself, so a set source means the facts of this load have arrived.
    QObject::connect(&state, &AppState::detailsChanged, &loop, [&] {
        if (state.details() && !state.details()->facts.source.isEmpty()) {
            loop.quit();
        }
    });
    for (int i = 0; i < count; ++i) {
        for (const QString& path : args.mid(2)) {
            state.load({path});
            loop.exec();
        }
    }
    if (count > 0) {
        QTextStream out(stdout);
        for (const FactLine& line : state.details()->facts.lines()) {
            out << line.label << ": " << line.value << '\n';
        }
        out << "Read with: " << state.details()->facts.source << '\n';
    }
    return 0;
}
