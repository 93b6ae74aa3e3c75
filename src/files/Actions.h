#pragma once

#include "FileAction.h"
#include "FileKind.h"

#include <QList>

// The fixed catalogue: which actions a selection gets, in which order.
namespace Actions {

// The raw id of an action: what the window names its button by and the developer tool accepts.
QString rawId(ActionId id);

const FileAction& rename();
const FileAction& zip();
const FileAction& info();
const FileAction& copyPath();
const FileAction& showInFinder();
const FileAction& extract();

const QList<FileAction>& video();
const QList<FileAction>& audio();
const QList<FileAction>& image();
const QList<FileAction>& pdf();

// The kind's list, then the common actions; with several files only those that work on several.
QList<FileAction> forSelection(FileKind kind, qsizetype count, const QList<QString>& files);

} // namespace Actions
