#include "SyscallFilter.h"

#include <cerrno>
#include <memory>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// Refused with EPERM rather than killed, so a tool that merely probes for a feature goes on without it.
// No socket of any family: a named local socket leads to the session bus, and through it to programs
// started outside the sandbox. Pairs of connected sockets within the process stay possible.
// io_uring bypasses the filter's view of individual operations; ptrace would reach other processes.
constexpr int refusedCalls[] = {
    SCMP_SYS(socket), SCMP_SYS(io_uring_setup),   SCMP_SYS(io_uring_enter),    SCMP_SYS(io_uring_register),
    SCMP_SYS(ptrace), SCMP_SYS(process_vm_readv), SCMP_SYS(process_vm_writev),
};

QByteArray compile()
{
    // A kernel built without seccomp filters answers EINVAL here.
    if (prctl(PR_GET_SECCOMP, 0, 0, 0, 0) < 0) {
        return {};
    }
    const std::unique_ptr<void, decltype(&seccomp_release)> filter(seccomp_init(SCMP_ACT_ALLOW), seccomp_release);
    if (!filter) {
        return {};
    }
    for (const int call : refusedCalls) {
        if (seccomp_rule_add(filter.get(), SCMP_ACT_ERRNO(EPERM), call, 0) != 0) {
            return {};
        }
    }
    // libseccomp 2.5 exports only to a descriptor; an anonymous memory file keeps it off the disk.
    const int fd = memfd_create("trellick-seccomp", MFD_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    QByteArray program;
    if (seccomp_export_bpf(filter.get(), fd) == 0) {
        const off_t size = lseek(fd, 0, SEEK_END);
        program.resize(size > 0 ? size : 0);
        if (pread(fd, program.data(), static_cast<std::size_t>(program.size()), 0) != program.size()) {
            program.clear();
        }
    }
    close(fd);
    return program;
}

} // namespace

SyscallFilter::SyscallFilter()
    : m_program(compile())
{
}

const SyscallFilter& SyscallFilter::standard()
{
    static const SyscallFilter filter;
    return filter;
}
