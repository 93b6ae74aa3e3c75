#include "ChildConfinement.h"

#include <QByteArray>
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool writeFile(const char* path, const char* data, std::size_t size) noexcept
{
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool ok = write(fd, data, size) == static_cast<ssize_t>(size);
    close(fd);
    return ok;
}

// A literal, so that its length is known without a library call.
template <std::size_t N>
[[noreturn]] void fail(const char (&message)[N]) noexcept
{
    (void)!write(STDERR_FILENO, message, N - 1);
    _exit(126);
}

void limit(__rlimit_resource resource, rlim_t value) noexcept
{
    rlimit both{};
    // A limit can only be lowered: keep a stricter one that is already in force.
    if (getrlimit(resource, &both) != 0) {
        fail("The sandbox could not be set up (resource limits).\n");
    }
    both.rlim_max = std::min(both.rlim_max, value);
    both.rlim_cur = both.rlim_max;
    if (setrlimit(resource, &both) != 0) {
        fail("The sandbox could not be set up (resource limits).\n");
    }
}

} // namespace

ChildConfinement::IdMaps ChildConfinement::identityMaps()
{
    const auto line = [](unsigned id) {
        const QByteArray number = QByteArray::number(id);
        return QByteArray(number).append(' ').append(number).append(" 1\n");
    };
    return {line(geteuid()), line(getegid())};
}

bool ChildConfinement::enterOwnNetwork(const IdMaps& maps) noexcept
{
    if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
        return false;
    }
    static const char deny[] = "deny";
    return writeFile("/proc/self/setgroups", deny, sizeof deny - 1)
        && writeFile("/proc/self/uid_map", maps.uidMap.constData(), static_cast<std::size_t>(maps.uidMap.size()))
        && writeFile("/proc/self/gid_map", maps.gidMap.constData(), static_cast<std::size_t>(maps.gidMap.size()));
}

void ChildConfinement::dieWithParent(pid_t parent) noexcept
{
    // The parent may have died between the fork and here, and the child been handed to another process.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) != 0 || getppid() != parent) {
        _exit(126);
    }
}

ChildConfinement::ChildConfinement()
    : m_parent(getpid())
{
}

ChildConfinement::~ChildConfinement()
{
    if (m_landlockFd >= 0) {
        close(m_landlockFd);
    }
}

void ChildConfinement::setOwnNetwork(const IdMaps& maps)
{
    m_ownNetwork = true;
    m_maps = maps;
}

void ChildConfinement::apply() const noexcept
{
    dieWithParent(m_parent);
    const auto orUnlimited = [](std::uint64_t value) { return value == 0 ? RLIM_INFINITY : rlim_t{value}; };
    limit(RLIMIT_AS, orUnlimited(m_limits.addressSpace));
    limit(RLIMIT_FSIZE, orUnlimited(m_limits.fileSize));
    limit(RLIMIT_CPU, orUnlimited(m_limits.cpuSeconds));
    limit(RLIMIT_NOFILE, orUnlimited(m_limits.openFiles));
    limit(RLIMIT_CORE, 0);
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        fail("The sandbox could not be set up (no_new_privs).\n");
    }
    // The namespace comes before Landlock, which would refuse the writes to /proc it needs.
    if (m_ownNetwork && !enterOwnNetwork(m_maps)) {
        fail("The sandbox could not be set up (network namespace).\n");
    }
    if (m_landlockFd >= 0) {
        if (syscall(SYS_landlock_restrict_self, m_landlockFd, 0U) != 0) {
            fail("The sandbox could not be set up (landlock_restrict_self).\n");
        }
        close(m_landlockFd);
    }
    // The filter comes last so that nothing above needs a system call it refuses.
    if (!m_syscallFilter.isEmpty()) {
        sock_fprog program{};
        program.len
            = static_cast<unsigned short>(static_cast<std::size_t>(m_syscallFilter.size()) / sizeof(sock_filter));
        program.filter = reinterpret_cast<sock_filter*>(const_cast<char*>(m_syscallFilter.constData()));
        if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program, 0, 0) != 0) {
            fail("The sandbox could not be set up (seccomp).\n");
        }
    }
}
