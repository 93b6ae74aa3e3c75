#pragma once

#include "base/Result.h"
#include "plans/PlanError.h"

#include <QByteArray>
#include <QString>
#include <cstdio>

// Creating files without ever replacing one, even when another program creates the same name meanwhile.
namespace NoReplace {

// What a write that found the disk full fails with.
inline const QString diskFullText = QStringLiteral("There is not enough free space on the disk for the new file.");

// Opens a new file for writing; fails when anything (a dangling link included) has that name already.
// Returns null and leaves errno set on failure.
std::FILE* createFile(const QString& path);
// Writes `bytes` to a new file; fails with the system's description (a partial file is removed).
Result<void, PlanError> writeNew(const QString& path, const QByteArray& bytes);
// Copies a file, a symbolic link or a whole folder; on failure nothing this call created is left.
Result<void, PlanError> copy(const QString& from, const QString& to);
// Renames in one step when both are on one file system, else copies and then removes the original.
Result<void, PlanError> move(const QString& from, const QString& to);
// Removes a folder and everything in it however deep (an unpacked archive may be deeper than one path can
// name), never following a link; true when nothing is left, a missing folder included.
bool removeTree(const QString& path);

} // namespace NoReplace
