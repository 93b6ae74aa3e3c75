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
    // Folders that belong to this run alone (its scratch folder, the staging folder its results are
    // written in): everything is allowed beneath them. Nothing else is writable.
    QStringList ownFolders;
    // HOME and TMPDIR of the tool; it is one of `ownFolders` too. Empty: neither is set.
    QString scratchDir;
    // The largest file the tool may write.
    qint64 fileSizeLimit = fileSizeFloor;
    // Off only for a program built with the address sanitizer, which reserves terabytes of address space.
    bool limitAddressSpace = true;

    static constexpr qint64 fileSizeFloor = qint64(1) << 30;
    // A generous multiple of the input's size, never below the floor: a decoded or re-encoded medium
    // may be many times larger than its source, but not without bound.
    static qint64 fileSizeLimitFor(qint64 inputBytes);
};
