#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Writes zip archives byte by byte, so that tests can make the hostile ones no zip tool would: names
// with "..", absolute names, links out of the folder, devices, set-uid files.
namespace ZipMaker {

struct Entry
{
    QByteArray name;
    QByteArray data; // a link's target for links
    quint32 mode = 0100644; // Unix type and permission bits
};

inline Entry file(const QByteArray& name, const QByteArray& data = "x")
{
    return {name, data, 0100644};
}
inline Entry folder(const QByteArray& name)
{
    return {name, {}, 040755};
}
inline Entry softLink(const QByteArray& name, const QByteArray& target)
{
    return {name, target, 0120777};
}

// Stored (uncompressed) entries in the given order.
bool write(const QString& path, const QList<Entry>& entries);

} // namespace ZipMaker
