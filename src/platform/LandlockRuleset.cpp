#include "LandlockRuleset.h"

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

// Debian's kernel headers stop at Landlock ABI 2, so the interface is spelled out here.
namespace {

struct RulesetAttr
{
    std::uint64_t handledAccessFs = 0;
    std::uint64_t handledAccessNet = 0; // ABI 4
    std::uint64_t scoped = 0; // ABI 6
};

struct [[gnu::packed]] PathBeneathAttr
{
    std::uint64_t allowedAccess = 0;
    std::int32_t parentFd = -1;
};

constexpr unsigned createRulesetVersion = 1U << 0;
constexpr int rulePathBeneath = 1;

constexpr std::uint64_t execute = 1ULL << 0;
constexpr std::uint64_t writeFile = 1ULL << 1;
constexpr std::uint64_t readFile = 1ULL << 2;
constexpr std::uint64_t readDir = 1ULL << 3;
constexpr std::uint64_t removeDir = 1ULL << 4;
constexpr std::uint64_t removeFile = 1ULL << 5;
constexpr std::uint64_t makeChar = 1ULL << 6;
constexpr std::uint64_t makeDir = 1ULL << 7;
constexpr std::uint64_t makeReg = 1ULL << 8;
constexpr std::uint64_t makeSock = 1ULL << 9;
constexpr std::uint64_t makeFifo = 1ULL << 10;
constexpr std::uint64_t makeBlock = 1ULL << 11;
constexpr std::uint64_t makeSym = 1ULL << 12;
constexpr std::uint64_t refer = 1ULL << 13; // ABI 2
constexpr std::uint64_t truncate = 1ULL << 14; // ABI 3
constexpr std::uint64_t ioctlDev = 1ULL << 15; // ABI 5

// The only rights a rule on a file (rather than a folder) may carry.
constexpr std::uint64_t fileRights = execute | writeFile | readFile | truncate | ioctlDev;

constexpr std::uint64_t netBindTcp = 1ULL << 0; // ABI 4
constexpr std::uint64_t netConnectTcp = 1ULL << 1;
constexpr std::uint64_t scopeAbstractUnixSocket = 1ULL << 0; // ABI 6
constexpr std::uint64_t scopeSignal = 1ULL << 1;

std::uint64_t handledFs(int abi)
{
    std::uint64_t rights = execute | writeFile | readFile | readDir | removeDir | removeFile | makeChar | makeDir
        | makeReg | makeSock | makeFifo | makeBlock | makeSym;
    if (abi >= 2) {
        rights |= refer;
    }
    if (abi >= 3) {
        rights |= truncate;
    }
    if (abi >= 5) {
        rights |= ioctlDev;
    }
    return rights;
}

std::uint64_t rightsFor(LandlockRuleset::Access access)
{
    switch (access) {
    case LandlockRuleset::Access::read:
        return readFile | readDir;
    case LandlockRuleset::Access::readExecute:
        return readFile | readDir | execute;
    case LandlockRuleset::Access::readWrite:
        return readFile | writeFile;
    case LandlockRuleset::Access::everything:
        return ~0ULL;
    }
    return 0;
}

} // namespace

int LandlockRuleset::kernelAbi()
{
    const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, createRulesetVersion);
    return abi > 0 ? static_cast<int>(abi) : 0;
}

LandlockRuleset::LandlockRuleset(int abi)
{
    if (abi < 1) {
        return;
    }
    RulesetAttr attr;
    attr.handledAccessFs = handledFs(abi);
    if (abi >= 4) {
        // Handled with no rule at all: no TCP port may be bound or connected to.
        attr.handledAccessNet = netBindTcp | netConnectTcp;
    }
    if (abi >= 6) {
        attr.scoped = scopeAbstractUnixSocket | scopeSignal;
    }
    // Older kernels take the shorter structure, and refuse a longer one only when its extra fields are set.
    m_fd = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0U));
    m_handled = attr.handledAccessFs;
}

LandlockRuleset::~LandlockRuleset()
{
    if (m_fd >= 0) {
        close(m_fd);
    }
}

void LandlockRuleset::allow(const QString& path, Access access)
{
    if (m_fd < 0 || path.isEmpty()) {
        return;
    }
    const int target = open(QFile::encodeName(path).constData(), O_PATH | O_CLOEXEC);
    if (target < 0) {
        return;
    }
    struct stat info
    {
    };
    if (fstat(target, &info) == 0) {
        PathBeneathAttr rule;
        rule.allowedAccess = rightsFor(access) & m_handled;
        if (!S_ISDIR(info.st_mode)) {
            rule.allowedAccess &= fileRights;
        }
        rule.parentFd = target;
        if (rule.allowedAccess != 0) {
            syscall(SYS_landlock_add_rule, m_fd, rulePathBeneath, &rule, 0U);
        }
    }
    close(target);
}

int LandlockRuleset::release()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}
