#pragma once

#include <QString>
#include <QStringList>

// What one confined tool run may touch. Paths are absolute; a path that does not exist gets no access.
struct SandboxPolicy
{
    // The executable: read and execute.
    QString program;
    // The inputs, read-only: a file gives that file alone, a folder the folder and everything beneath it.
    QStringList readPaths;
    // Existing folders the step writes its results into: it may create files there and write them.
    QStringList outputFolders;
    // Folders that belong to this run alone (a scratch folder, an output folder made for the step):
    // everything is allowed beneath them.
    QStringList ownFolders;
    // HOME and TMPDIR of the tool; it is one of `ownFolders` too. Empty: neither is set.
    QString scratchDir;
    // The largest file the tool may write.
    qint64 fileSizeLimit = fileSizeFloor;

    static constexpr qint64 fileSizeFloor = qint64(1) << 30;
    // A generous multiple of the input's size, never below the floor: a decoded or re-encoded medium
    // may be many times larger than its source, but not without bound.
    static qint64 fileSizeLimitFor(qint64 inputBytes);
};
