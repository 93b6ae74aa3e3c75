#include "SandboxSupport.h"

#include "ChildConfinement.h"
#include "LandlockRuleset.h"
#include "SyscallFilter.h"

#include <QMutex>
#include <algorithm>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Whether a child may enter a user namespace with an empty network of its own. Some systems refuse it
// (a sysctl, a security module), and only trying tells for certain.
bool userNamespacesWork()
{
    const ChildConfinement::IdMaps maps = ChildConfinement::identityMaps();
    const pid_t pid = fork();
    if (pid == 0) {
        _exit(ChildConfinement::enterOwnNetwork(maps) ? 0 : 1);
    }
    if (pid < 0) {
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

SandboxSupport detect()
{
    SandboxSupport support;
    support.landlockAbi = LandlockRuleset::kernelAbi();
    support.systemCallFilter = SyscallFilter::standard().isValid();
    support.userNamespaces = userNamespacesWork();
    return support;
}

QMutex overrideLock;
std::optional<SandboxSupport> overridden;

} // namespace

SandboxLayers SandboxSupport::layers() const
{
    SandboxLayers layers = SandboxLayer::resourceLimits | SandboxLayer::noNewPrivileges;
    layers.setFlag(SandboxLayer::systemCallFilter, systemCallFilter);
    layers.setFlag(SandboxLayer::networkNamespace, userNamespaces);
    layers.setFlag(SandboxLayer::fileAccess, landlockAbi >= 1);
    layers.setFlag(SandboxLayer::tcpAccess, landlockAbi >= 4);
    layers.setFlag(SandboxLayer::scopes, landlockAbi >= 6);
    return layers;
}

bool SandboxSupport::isFull() const
{
    // Sockets are refused by the system-call filter, so the later Landlock network and scope rules only
    // add depth; the filter, the own network and the file rules are what "fully" takes.
    return systemCallFilter && userNamespaces && landlockAbi >= 1;
}

QString SandboxSupport::sentence() const
{
    if (isFull()) {
        return u"Tool runs are fully sandboxed on this computer: each step can open only its own files and cannot use the network."_s;
    }
    const bool files = landlockAbi >= 1;
    const bool network = systemCallFilter || userNamespaces;
    if (files && network) {
        return u"Tool runs are partly sandboxed on this computer: each step can open only its own files and cannot use the network, but this system does not allow every protection Trellick asks for."_s;
    }
    if (files) {
        return u"Tool runs are partly sandboxed on this computer: each step can open only its own files, but this system does not let Trellick keep steps off the network."_s;
    }
    if (network) {
        return u"Tool runs are partly sandboxed on this computer: steps cannot use the network, but this system does not let Trellick limit which files they open."_s;
    }
    return u"Tool runs are partly sandboxed on this computer: only their memory, time and file sizes are limited."_s;
}

SandboxSupport SandboxSupport::current()
{
    static const SandboxSupport detected = detect();
    QMutexLocker locker(&overrideLock);
    if (!overridden) {
        return detected;
    }
    // A test can take layers away, never add one the kernel lacks.
    return {std::min(detected.landlockAbi, overridden->landlockAbi),
            detected.systemCallFilter && overridden->systemCallFilter,
            detected.userNamespaces && overridden->userNamespaces};
}

void SandboxSupport::setForTesting(std::optional<SandboxSupport> support)
{
    QMutexLocker locker(&overrideLock);
    overridden = support;
}
