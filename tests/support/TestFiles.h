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

// PATH set to one folder for the object's lifetime: the system's ffmpeg is then whatever that folder holds
// (by default nothing, so that a test sees the machine without one).
class ScopedPath
{
public:
    explicit ScopedPath(const QString& folder);
    ~ScopedPath();
    ScopedPath(const ScopedPath&) = delete;
    ScopedPath& operator=(const ScopedPath&) = delete;

    // Links Debian's ffmpeg and ffprobe into the folder.
    bool linkDebianTools() const;
    // Writes an ffmpeg and an ffprobe into the folder that answer -version with `version` and -encoders
    // with `encoders`, and do nothing else.
    bool writeTools(const QByteArray& version, const QStringList& encoders) const;

private:
    QString m_folder;
    QByteArray m_old;
};

} // namespace TestFiles
