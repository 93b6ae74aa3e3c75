#pragma once

#include <QByteArray>
#include <cstdint>
#include <sys/types.h>

// Everything a confined child applies to itself between fork and exec, prepared by the parent.
// The parent is multi-threaded, so the child may only make async-signal-safe calls: no allocation, no
// locks, no formatting. Every value here is therefore final bytes, numbers or an open descriptor.
class ChildConfinement
{
public:
    // The lines written to /proc/self/uid_map and gid_map: the caller's own ids mapped to themselves, so
    // files keep their owners as the tool sees them.
    struct IdMaps
    {
        QByteArray uidMap;
        QByteArray gidMap;
    };

    // Each applied as both the soft and the hard limit, so the tool cannot raise it again.
    struct Limits
    {
        std::uint64_t addressSpace = 0; // 0: unlimited
        std::uint64_t fileSize = 0;
        std::uint64_t cpuSeconds = 0;
        std::uint64_t openFiles = 0;
    };

    static IdMaps identityMaps();
    // Has the calling child killed when the thread that started it ends (with the program, as a rule),
    // and ends it at once if `parent` is already gone. Async-signal-safe; every child gets it.
    static void dieWithParent(pid_t parent) noexcept;
    // Enters a new user namespace with an empty network namespace and maps the ids. Async-signal-safe.
    static bool enterOwnNetwork(const IdMaps& maps) noexcept;

    ChildConfinement();
    ChildConfinement(const ChildConfinement&) = delete;
    ChildConfinement& operator=(const ChildConfinement&) = delete;
    ~ChildConfinement();

    void setLimits(const Limits& limits) { m_limits = limits; }
    void setSyscallFilter(const QByteArray& program) { m_syscallFilter = program; }
    void setOwnNetwork(const IdMaps& maps);
    // Takes ownership of a Landlock rule set descriptor.
    void setLandlockRuleset(int fd) { m_landlockFd = fd; }

    // Runs in the child. A layer that was prepared but cannot be applied ends the child with status 126
    // and a line on standard error: a tool never runs with less confinement than was recorded.
    void apply() const noexcept;

private:
    pid_t m_parent;
    Limits m_limits;
    QByteArray m_syscallFilter;
    bool m_ownNetwork = false;
    IdMaps m_maps;
    int m_landlockFd = -1;
};
