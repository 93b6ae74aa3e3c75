#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// What an archive would create inside the destination, checked before anything is written: every
// name stays below the destination, nothing is written through a link, and every link, followed
// through the other links of the archive, still ends inside the destination.
class ArchiveTree
{
public:
    enum class Kind { file, folder, link };

    // `dest` is the existing destination folder, consulted for names the archive does not create.
    explicit ArchiveTree(std::filesystem::path dest);

    // Splits an entry name into its parts, dropping empty and "." parts; fails for absolute names and
    // for names with a ".." part.
    static std::vector<std::string> split(const std::string& name);

    // Records one entry (parts as returned by split); fails when the entry would replace or be written
    // through a link.
    void add(const std::vector<std::string>& parts, Kind kind, const std::string& linkTarget = {});
    // Fails when a link leads outside the destination, directly or through other links.
    void checkLinks() const;

private:
    struct Node
    {
        Kind kind;
        std::string target;
    };

    void checkLink(const std::string& path, const Node& node) const;

    std::filesystem::path m_dest;
    std::map<std::string, Node> m_nodes;
    std::size_t m_links = 0; // no name needs checking against links until there is one
};
