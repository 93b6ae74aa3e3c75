#include "ProbeService.h"

#include "AvFormatReader.h"
#include "PdfPageReader.h"
#include "VipsHeaderReader.h"
#include "base/EnumNames.h"
#include "files/ProbeHelper.h"
#include "platform/FdChannel.h"

#include <QJsonDocument>
#include <QJsonObject>

#ifdef TRELLICK_TESTING
#include <QThread>
#include <cstdlib>
#endif

using namespace Qt::StringLiterals;

namespace {

#ifdef TRELLICK_TESTING
// Test builds only: a file that starts with a marker makes the helper crash, hang or answer garbage, as a
// hostile file might, so the window's handling of each can be tried. True for garbage.
bool actOnMarker(int fd)
{
    QByteArray head(32, Qt::Uninitialized);
    head.resize(std::max<qint64>(Descriptor::readAt(fd, head.data(), head.size(), 0), 0));
    if (head.startsWith("TRELLICK-TEST-CRASH")) {
        std::abort();
    }
    if (head.startsWith("TRELLICK-TEST-HANG")) {
        QThread::sleep(3600);
    }
    return head.startsWith("TRELLICK-TEST-GARBAGE");
}
#endif

} // namespace

namespace ProbeService {

void prepare()
{
    AvFormatReader::prepare();
    VipsHeaderReader::prepare();
}

MediaFacts probe(int fd, FileKind kind)
{
    switch (kind) {
    case FileKind::video:
    case FileKind::audio:
        return AvFormatReader::read(fd);
    case FileKind::image:
        return VipsHeaderReader::read(fd);
    case FileKind::pdf:
        return PdfPageReader::read(fd);
    case FileKind::archive:
    case FileKind::folder:
    case FileKind::other:
        break;
    }
    return {};
}

int serve(int socket)
{
    while (std::optional<FdChannel::Message> request = FdChannel::receive(socket)) {
        const QJsonObject object = QJsonDocument::fromJson(request->body).object();
        const std::optional<FileKind> kind = EnumNames::value<FileKind>(object.value(u"kind"_s).toString());
        // Only a file opened by the window is read: the helper opens nothing by name.
        const bool readable = kind && request->descriptor.isValid();
#ifdef TRELLICK_TESTING
        if (readable && actOnMarker(request->descriptor.get())) {
            FdChannel::send(socket, "\x01 not facts");
            continue;
        }
#endif
        const MediaFacts facts = readable ? probe(request->descriptor.get(), *kind) : MediaFacts();
        if (!FdChannel::send(socket, QJsonDocument(ProbeHelper::encode(facts)).toJson(QJsonDocument::Compact))) {
            return 1;
        }
    }
    return 0;
}

} // namespace ProbeService
