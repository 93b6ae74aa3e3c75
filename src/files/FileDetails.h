#pragma once

#include "FileKind.h"
#include "MediaFacts.h"

#include <QMetaType>
#include <QString>

// Quick facts about the first chosen file, shown on the file card.
struct FileDetails
{
    QString path;
    QString name;
    QString ext; // lower case, no dot
    FileKind kind = FileKind::other;
    qint64 sizeBytes = 0; // 0 for folders
    QString sizeText; // formatted size, or the folder's item count
    QString kindText; // the system's description of the type, or a fallback word
    QString iconName; // a freedesktop icon name; the view resolves it against the theme
    MediaFacts facts; // filled in later by probing

    bool operator==(const FileDetails&) const = default;
};

Q_DECLARE_METATYPE(FileDetails)
