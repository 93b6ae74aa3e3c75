#pragma once

#include <QObject>

namespace DialogKinds {
Q_NAMESPACE

// The sheet that is open.
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
Q_ENUM_NS(DialogKind)

} // namespace DialogKinds

using DialogKinds::DialogKind;
