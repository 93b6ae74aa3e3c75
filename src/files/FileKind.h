#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>

// The coarse category of a selection; it decides which actions are offered.
enum class FileKind { video, audio, image, pdf, archive, folder, other };

namespace FileKinds {

// By folder first, then by extension, then by the MIME type of the content.
FileKind detect(const QString& path);
// The common kind of all paths, or `other` when they differ or the list is empty.
FileKind detect(const QList<QString>& paths);
// The kind in one plain word ("Video", "PDF document"), for a file the system has no description of.
QString word(FileKind kind);
// Only the archive types the application can unpack itself.
bool isExtractable(const QString& path);

QString rawValue(FileKind kind);
std::optional<FileKind> fromRawValue(const QString& raw);

} // namespace FileKinds

Q_DECLARE_METATYPE(FileKind)
