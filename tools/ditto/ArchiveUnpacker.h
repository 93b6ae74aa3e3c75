#pragma once

#include <filesystem>
#include <vector>

// Unpacks a zip archive into a folder, refusing the whole archive before anything is written when any
// entry could reach outside that folder or is not a plain file, folder or link. A failure part-way
// (a damaged entry, a full disk) removes what this run created.
class ZipUnpacker
{
public:
    ZipUnpacker(std::filesystem::path archive, std::filesystem::path dest);
    ~ZipUnpacker();
    ZipUnpacker(const ZipUnpacker&) = delete;
    ZipUnpacker& operator=(const ZipUnpacker&) = delete;

    void run();

private:
    void check();
    void unpack();
    void rememberNew(const std::filesystem::path& relative);
    void rollBack();

    std::filesystem::path m_archive;
    std::filesystem::path m_dest;
    std::vector<std::filesystem::path> m_created; // in creation order, relative to the destination
    bool m_done = false;
};
