// trellick-probe KIND PATH: prints the file's facts as one JSON object. The window runs it for every
// file it shows, so that the media readers and their libraries stay out of the window's process.
#include "base/EnumNames.h"
#include "files/ProbeHelper.h"
#include "readers/ProbeService.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <cstdio>

int main(int argc, char** argv)
{
    // Read before the application object sees them: a path is never taken for an option.
    const std::optional<FileKind> kind
        = argc == 3 ? EnumNames::value<FileKind>(QString::fromLocal8Bit(argv[1])) : std::nullopt;
    const QString path = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString();
    QCoreApplication app(argc, argv);
    if (!kind) {
        std::fputs("usage: trellick-probe KIND PATH\n", stderr);
        return 2;
    }
    const QByteArray json
        = QJsonDocument(ProbeHelper::encode(ProbeService::probeNow(path, *kind))).toJson(QJsonDocument::Compact);
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return 0;
}
