#pragma once

#include <QMetaType>
#include <QString>
#include <optional>

// The sheet that is open; its raw value is the case name.
enum class DialogKind {
    rename,
    convertImage,
    convertAudio,
    pdfExtract,
    pdfMerge,
    info,
    settings,
    history,
    whatWillBeSent
};

namespace DialogKinds {

QString rawValue(DialogKind kind);
std::optional<DialogKind> fromRawValue(const QString& raw);

} // namespace DialogKinds

Q_DECLARE_METATYPE(DialogKind)
