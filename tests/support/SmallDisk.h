#pragma once

#include <QString>

// A small file system mounted on a folder for the length of a test, to play a full disk.
class SmallDisk
{
public:
    // Mounts a tmpfs of `kilobytes` on `folder` (made when missing); mounted() is false where this process
    // may not mount one (not root).
    SmallDisk(const QString& folder, int kilobytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }

private:
    QString m_folder;
    bool m_mounted = false;
};
