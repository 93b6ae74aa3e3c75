// probe-bench KIND PATH COUNT: reads the file's facts COUNT times with the reader `probe` picks for KIND
// (video, audio, image, pdf), then prints the facts once. With no ffprobe in the tools folder, video and
// audio go to libavformat in-process.
#include "base/EnumNames.h"
#include "readers/ProbeService.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const std::optional<FileKind> kind = args.size() == 4 ? EnumNames::value<FileKind>(args[1]) : std::nullopt;
    bool ok = false;
    const int count = args.size() == 4 ? args[3].toInt(&ok) : 0;
    if (!kind || !ok || count < 1) {
        QTextStream(stderr) << "usage: probe-bench video|audio|image|pdf PATH COUNT\n";
        return 2;
    }
    MediaFacts facts;
    for (int i = 0; i < count; ++i) {
        facts = ProbeService::probeNow(args[2], *kind);
    }
    QTextStream out(stdout);
    for (const FactLine& line : facts.lines()) {
        out << line.label << ": " << line.value << '\n';
    }
    out << "Read with: " << facts.source << '\n';
    return facts.lines().isEmpty() ? 1 : 0;
}
