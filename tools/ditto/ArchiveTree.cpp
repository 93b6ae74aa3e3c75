#include "ArchiveTree.h"

#include "Failure.h"

#include <deque>

namespace fs = std::filesystem;

namespace {

// Enough for any honest archive; a longer chain is a loop or an attack.
constexpr int maxLinkHops = 40;

std::string join(const std::vector<std::string>& parts, size_t count)
{
    std::string path;
    for (size_t i = 0; i < count; ++i) {
        path += (i ? "/" : "") + parts[i];
    }
    return path;
}

std::string quoted(const std::string& text)
{
    return "“" + text + "”";
}

} // namespace

ArchiveTree::ArchiveTree(fs::path dest)
    : m_dest(std::move(dest))
{
}

std::vector<std::string> ArchiveTree::split(const std::string& name)
{
    if (name.empty()) {
        throw Failure("The archive holds an entry without a name.");
    }
    if (name.front() == '/') {
        throw Failure("The archive holds " + quoted(name) + ", an absolute path outside the destination.");
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= name.size()) {
        const size_t slash = std::min(name.find('/', start), name.size());
        const std::string part = name.substr(start, slash - start);
        if (part == "..") {
            throw Failure("The archive holds " + quoted(name) + ", which leads outside the destination.");
        }
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    return parts;
}

void ArchiveTree::add(const std::vector<std::string>& parts, Kind kind, const std::string& linkTarget)
{
    const std::string path = join(parts, parts.size());
    std::string folder;
    for (size_t count = 1; count < parts.size() && m_links > 0; ++count) {
        folder += (count > 1 ? "/" : "") + parts[count - 1];
        const auto it = m_nodes.find(folder);
        if (it != m_nodes.end() && it->second.kind == Kind::link) {
            throw Failure("The archive holds " + quoted(path) + ", which would be written through the link "
                          + quoted(it->first) + ".");
        }
    }
    const auto existing = m_nodes.find(path);
    if (existing != m_nodes.end() && (existing->second.kind == Kind::link || kind == Kind::link)) {
        throw Failure("The archive holds " + quoted(path) + " twice, once as a link.");
    }
    if (kind == Kind::link) {
        // A link is checked against its own place, so the names written through it are caught above
        // whichever comes first in the archive.
        // The names below it sort right after "path/".
        const auto below = m_nodes.lower_bound(path + '/');
        if (below != m_nodes.end() && below->first.compare(0, path.size() + 1, path + '/') == 0) {
            throw Failure("The archive holds " + quoted(below->first) + ", which would be written through the link "
                          + quoted(path) + ".");
        }
    }
    m_links += kind == Kind::link ? 1 : 0;
    m_nodes[path] = Node{kind, linkTarget};
}

void ArchiveTree::checkLinks() const
{
    for (const auto& [path, node] : m_nodes) {
        if (node.kind == Kind::link) {
            checkLink(path, node);
        }
    }
}

void ArchiveTree::checkLink(const std::string& path, const Node& node) const
{
    const auto escapes = [&] {
        return Failure("The archive holds the link " + quoted(path) + " to " + quoted(node.target)
                       + ", which leads outside the destination.");
    };
    if (node.target.empty()) {
        throw Failure("The archive holds the link " + quoted(path) + " without a target.");
    }
    // Walk the target the way the system would, following the archive's links as they will exist.
    std::vector<std::string> resolved;
    {
        const size_t slash = path.rfind('/');
        if (slash != std::string::npos) {
            resolved = split(path.substr(0, slash));
        }
    }
    std::deque<std::string> pending;
    const auto pushTarget = [&](const std::string& target) {
        if (target.front() == '/') {
            throw escapes();
        }
        std::deque<std::string> parts;
        size_t start = 0;
        while (start <= target.size()) {
            const size_t slash = std::min(target.find('/', start), target.size());
            parts.push_back(target.substr(start, slash - start));
            start = slash + 1;
        }
        pending.insert(pending.begin(), parts.begin(), parts.end());
    };
    pushTarget(node.target);
    int hops = 0;
    while (!pending.empty()) {
        const std::string part = pending.front();
        pending.pop_front();
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (resolved.empty()) {
                throw escapes();
            }
            resolved.pop_back();
            continue;
        }
        resolved.push_back(part);
        const std::string here = join(resolved, resolved.size());
        const auto it = m_nodes.find(here);
        std::string next;
        if (it != m_nodes.end()) {
            if (it->second.kind != Kind::link) {
                continue;
            }
            next = it->second.target;
        } else {
            std::error_code ec;
            if (!fs::is_symlink(fs::symlink_status(m_dest / here, ec))) {
                continue;
            }
            // Links already in the destination are not ours to trust.
            throw Failure("The link " + quoted(path) + " leads through " + quoted(here)
                          + ", a link that was already in the destination.");
        }
        if (++hops > maxLinkHops || next.empty()) {
            throw Failure("The archive holds the link " + quoted(path) + ", which goes round in circles.");
        }
        resolved.pop_back();
        pushTarget(next);
    }
}
