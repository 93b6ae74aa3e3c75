#include "ZipMaker.h"

#include <QFile>
#include <QtEndian>
#include <zlib.h>

namespace ZipMaker {

namespace {

void put16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

} // namespace

bool write(const QString& path, const QList<Entry>& entries)
{
    QByteArray body;
    QByteArray directory;
    for (const Entry& entry : entries) {
        const quint32 crc
            = quint32(crc32(0, reinterpret_cast<const Bytef*>(entry.data.constData()), uInt(entry.data.size())));
        const quint32 offset = quint32(body.size());
        const auto common = [&](QByteArray& out) {
            put16(out, 10); // version needed
            put16(out, 0); // flags
            put16(out, 0); // stored
            put16(out, 0); // time
            put16(out, 0x21); // date: 1980-01-01
            put32(out, crc);
            put32(out, quint32(entry.data.size()));
            put32(out, quint32(entry.data.size()));
            put16(out, quint16(entry.name.size()));
            put16(out, 0); // extra field
        };
        put32(body, 0x04034b50);
        common(body);
        body += entry.name;
        body += entry.data;

        put32(directory, 0x02014b50);
        put16(directory, 0x031e); // made by Unix, so the mode below counts
        common(directory);
        put16(directory, 0); // comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        put32(directory, entry.mode << 16);
        put32(directory, offset);
        directory += entry.name;
    }
    QByteArray end;
    put32(end, 0x06054b50);
    put16(end, 0);
    put16(end, 0);
    put16(end, quint16(entries.size()));
    put16(end, quint16(entries.size()));
    put32(end, quint32(directory.size()));
    put32(end, quint32(body.size()));
    put16(end, 0);

    QFile out(path);
    return out.open(QIODevice::WriteOnly)
        && out.write(body + directory + end) == body.size() + directory.size() + end.size();
}

} // namespace ZipMaker
