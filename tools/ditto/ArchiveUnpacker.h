#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

struct archive;
struct archive_entry;

// Unpacks a zip archive (or, with `anyFormat`, a tar archive, compressed or not) into a folder, refusing
// the whole archive before anything is written when any entry could reach outside that folder, lies
// deeper than 256 folders or is not a plain file, folder or link. Every folder is made relative to its
// open parent, so deep trees take time in proportion to their size. Whoever runs it, the files are plain:
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
    using Parts = std::vector<std::string>;

    void check();
    void unpack();
    int openFolder(int parent, const Parts& parts, std::size_t depth);
    void writeFile(archive* reader, archive_entry* entry, int parent, const Parts& parts);
    void rollBack();
    void removeCreated(const Parts& parts) const;

    std::filesystem::path m_archive;
    std::filesystem::path m_dest;
    std::vector<std::filesystem::path> m_madeDest; // the destination and the folders made for it
    std::vector<Parts> m_created; // in creation order, relative to the destination
    mode_t m_umask = 022;
    bool m_anyFormat = false;
    bool m_done = false;
};
