#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace FileKinds {
Q_NAMESPACE

// The coarse category of a selection; it decides which actions are offered. Its raw value is the case name.
enum class FileKind { video, audio, image, pdf, archive, folder, other };
Q_ENUM_NS(FileKind)

// By folder first, then by extension, then by the MIME type of the content.
FileKind detect(const QString& path);
// The common kind of all paths, or `other` when they differ or the list is empty.
FileKind detect(const QList<QString>& paths);
// The kind in one plain word ("Video", "PDF document"), for a file the system has no description of.
QString word(FileKind kind);
// Only the archive types the application can unpack itself.
bool isExtractable(const QString& path);

} // namespace FileKinds

using FileKinds::FileKind;
