#pragma once

#include <QByteArray>

// The seccomp program every confined tool runs under, compiled once with libseccomp and kept as raw BPF,
// so that the child only has to load it.
class SyscallFilter
{
public:
    static const SyscallFilter& standard();

    bool isValid() const { return !m_program.isEmpty(); }
    // The sock_filter instructions, ready for PR_SET_SECCOMP.
    const QByteArray& program() const { return m_program; }

private:
    SyscallFilter();
    QByteArray m_program;
};
