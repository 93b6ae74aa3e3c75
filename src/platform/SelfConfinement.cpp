#include "SelfConfinement.h"

#include "LandlockRuleset.h"
#include "SyscallFilter.h"

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The helper holds its standard streams, its socket and one passed file at a time, plus what its
// libraries keep open.
constexpr rlim_t openFiles = 64;

bool limit(__rlimit_resource resource, rlim_t value)
{
    rlimit both{};
    if (getrlimit(resource, &both) != 0) {
        return false;
    }
    both.rlim_max = std::min(both.rlim_max, value);
    both.rlim_cur = both.rlim_max;
    return setrlimit(resource, &both) == 0;
}

} // namespace

bool SelfConfinement::lockDown(std::uint64_t addressSpace)
{
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || !limit(RLIMIT_NOFILE, openFiles) || !limit(RLIMIT_CORE, 0)
        || (addressSpace != 0 && !limit(RLIMIT_AS, rlim_t{addressSpace}))) {
        return false;
    }
    if (const int abi = LandlockRuleset::kernelAbi(); abi >= 1) {
        // Every right handled, none granted.
        LandlockRuleset nothing(abi);
        const int ruleset = nothing.release();
        const bool restricted = ruleset >= 0 && syscall(SYS_landlock_restrict_self, ruleset, 0U) == 0;
        if (ruleset >= 0) {
            close(ruleset);
        }
        if (!restricted) {
            return false;
        }
    }
    const SyscallFilter& filter = SyscallFilter::standard();
    if (filter.isValid()) {
        sock_fprog program{};
        program.len
            = static_cast<unsigned short>(static_cast<std::size_t>(filter.program().size()) / sizeof(sock_filter));
        program.filter = reinterpret_cast<sock_filter*>(const_cast<char*>(filter.program().constData()));
        if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program, 0, 0) != 0) {
            return false;
        }
    }
    return true;
}
