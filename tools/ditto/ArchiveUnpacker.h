#pragma once

#include <filesystem>
#include <vector>

// Unpacks a zip archive (or, with `anyFormat`, a tar archive, compressed or not) into a folder, refusing
// the whole archive before anything is written when any entry could reach outside that folder, lies
// deeper than 256 folders or is not a plain file, folder or link. Whoever runs it, the files are plain:
// they belong to that user, and no set-uid, set-gid or sticky bit survives. A failure part-way (a damaged
// entry, a full disk) removes what this run created.
class ArchiveUnpacker
{
public:
    ArchiveUnpacker(std::filesystem::path archive, std::filesystem::path dest, bool anyFormat);
    ~ArchiveUnpacker();
    ArchiveUnpacker(const ArchiveUnpacker&) = delete;
    ArchiveUnpacker& operator=(const ArchiveUnpacker&) = delete;

    void run();

private:
    void check();
    void unpack();
    void rememberNew(const std::filesystem::path& relative);
    void rollBack();

    std::filesystem::path m_archive;
    std::filesystem::path m_dest;
    std::vector<std::filesystem::path> m_created; // in creation order, relative to the destination
    bool m_anyFormat = false;
    bool m_done = false;
};
