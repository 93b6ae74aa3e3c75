#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Fixtures are made at test time; these helpers keep that short.
namespace TestFiles {

// Writes `bytes` to `path` (creating folders) and returns the path.
QString write(const QString& path, const QByteArray& bytes = {});
// The whole contents of a file, or nothing when it cannot be read.
QByteArray read(const QString& path);
// Runs a system program to completion and fails the test when it does not exit with 0.
bool runTool(const QString& program, const QStringList& args);

} // namespace TestFiles
