#pragma once

#include <QMetaType>
#include <QObject>
#include <QStringList>

namespace ActionIds {
Q_NAMESPACE

// Which entry of the catalogue an action is; the application's own code is chosen by it. Its raw id (the
// window's button names, the developer tool's argument) is the case name, except "else" for somethingElse.
enum class ActionId {
    trim,
    convertVideo,
    extractAudio,
    smaller,
    speed,
    removeSound,
    resize,
    gif,
    somethingElse,
    convertAudio,
    volume,
    convertImage,
    stripLocation,
    rotate,
    pdfExtract,
    pdfMerge,
    pdfSmaller,
    pdfImages,
    rename,
    zip,
    info,
    copyPath,
    showInFinder,
    extract,
};
Q_ENUM_NS(ActionId)

} // namespace ActionIds

using ActionIds::ActionId;

// How an action starts: at once, with a plan built by the application, after a dialog, or from the AI.
enum class ActionStyle { immediate, direct, dialog, ai };

// One entry of the fixed action catalogue.
struct FileAction
{
    ActionId id = ActionId::somethingElse;
    QString title;
    QString symbol;
    ActionStyle style = ActionStyle::immediate;
    // For AI actions only: the request editor's placeholder, ready-made requests and the task line of the prompt.
    QString example;
    QStringList presets;
    QString task;
    bool multiOK = false;

    bool operator==(const FileAction&) const = default;
};

Q_DECLARE_METATYPE(FileAction)
