#include "Sandbox.h"

#include "ChildConfinement.h"
#include "LandlockRuleset.h"
#include "SandboxSupport.h"
#include "SyscallFilter.h"

#include <QProcess>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr std::uint64_t addressSpace = std::uint64_t(4) << 30;
constexpr std::uint64_t cpuSeconds = 12 * 3600; // a long video on a slow machine, not a runaway loop
// The unpacker holds a folder open for each level of a deep archive, up to 256.
constexpr std::uint64_t openFiles = 1024;

// Read-only system folders: libraries, programs and their shared data.
const QStringList systemTrees{u"/usr"_s, u"/lib"_s, u"/lib64"_s, u"/lib32"_s, u"/bin"_s, u"/sbin"_s};
// Configuration the C library and the tools' libraries read, and no more of /etc: the loader's cache,
// the time zone (zip's timestamps), user and group names, fonts and the system's font cache (without it
// every title drawn rescans every installed font), the processor and memory layout.
const QStringList systemConfiguration{u"/etc/ld.so.cache"_s,
                                      u"/etc/ld.so.conf"_s,
                                      u"/etc/ld.so.conf.d"_s,
                                      u"/etc/localtime"_s,
                                      u"/etc/timezone"_s,
                                      u"/etc/nsswitch.conf"_s,
                                      u"/etc/passwd"_s,
                                      u"/etc/group"_s,
                                      u"/etc/fonts"_s,
                                      u"/var/cache/fontconfig"_s,
                                      u"/sys/devices/system/cpu"_s,
                                      u"/sys/devices/system/node"_s,
                                      u"/proc/cpuinfo"_s};
const QStringList randomDevices{u"/dev/urandom"_s, u"/dev/random"_s, u"/dev/zero"_s};

QProcessEnvironment freshEnvironment(const QString& scratchDir)
{
    QProcessEnvironment fresh;
    fresh.insert(u"PATH"_s, u"/usr/local/bin:/usr/bin:/bin"_s);
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    for (const QString& name : system.keys()) {
        if (name == u"LANG" || name == u"LANGUAGE" || name == u"TZ" || name.startsWith(u"LC_")) {
            fresh.insert(name, system.value(name));
        }
    }
    if (!scratchDir.isEmpty()) {
        fresh.insert(u"HOME"_s, scratchDir);
        fresh.insert(u"TMPDIR"_s, scratchDir);
    }
    return fresh;
}

int buildRuleset(const SandboxPolicy& policy, int abi)
{
    LandlockRuleset rules(abi);
    for (const QString& path : systemTrees) {
        rules.allow(path, LandlockRuleset::Access::readExecute);
    }
    for (const QString& path : systemConfiguration + randomDevices) {
        rules.allow(path, LandlockRuleset::Access::read);
    }
    rules.allow(u"/dev/null"_s, LandlockRuleset::Access::readWrite);
    rules.allow(policy.program, LandlockRuleset::Access::readExecute);
    for (const QString& path : policy.readPaths) {
        rules.allow(path, LandlockRuleset::Access::read);
    }
    for (const QString& path : policy.ownFolders + QStringList{policy.scratchDir}) {
        rules.allow(path, LandlockRuleset::Access::everything);
    }
    return rules.release();
}

} // namespace

Sandbox::Sandbox(const SandboxPolicy& policy)
    : m_environment(freshEnvironment(policy.scratchDir))
{
    const SandboxSupport support = SandboxSupport::current();
    auto child = std::make_shared<ChildConfinement>();
    child->setLimits({policy.limitAddressSpace ? addressSpace : 0,
                      static_cast<std::uint64_t>(std::max<qint64>(policy.fileSizeLimit, 1)), cpuSeconds, openFiles});
    m_layers = SandboxLayer::resourceLimits | SandboxLayer::noNewPrivileges;
    if (support.systemCallFilter) {
        child->setSyscallFilter(SyscallFilter::standard().program());
        m_layers |= SandboxLayer::systemCallFilter;
    }
    if (support.userNamespaces) {
        child->setOwnNetwork(ChildConfinement::identityMaps());
        m_layers |= SandboxLayer::networkNamespace;
    }
    if (support.landlockAbi >= 1) {
        const int ruleset = buildRuleset(policy, support.landlockAbi);
        if (ruleset >= 0) {
            child->setLandlockRuleset(ruleset);
            m_layers |= support.layers() & (SandboxLayer::fileAccess | SandboxLayer::tcpAccess | SandboxLayer::scopes);
        }
    }
    m_child = std::move(child);
}

void Sandbox::applyTo(QProcess& process, int shared) const
{
    process.setProcessEnvironment(m_environment);
    // The lambda keeps the prepared state (and its open rule set) alive as long as the process needs it.
    process.setChildProcessModifier([child = m_child, shared] {
        child->apply();
        // dup2 onto itself would leave close-on-exec set.
        if (shared >= 0 && (shared == 3 ? fcntl(3, F_SETFD, 0) : dup2(shared, 3)) < 0) {
            _exit(126);
        }
    });
}
