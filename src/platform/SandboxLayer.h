#pragma once

#include <QFlags>

// The independent layers of confinement a tool's process can get; which ones apply depends on the kernel.
enum class SandboxLayer {
    resourceLimits = 0x01, // address space, file size, CPU time, open files, no core files
    noNewPrivileges = 0x02, // set-user-ID programs and file capabilities give nothing
    systemCallFilter = 0x04, // seccomp: no sockets, no io_uring, no ptrace
    networkNamespace = 0x08, // an empty network of its own, inside a user namespace
    fileAccess = 0x10, // Landlock: only the paths of the step
    tcpAccess = 0x20, // Landlock: no TCP bind or connect
    scopes = 0x40, // Landlock: no abstract sockets or signals outside the sandbox
};
Q_DECLARE_FLAGS(SandboxLayers, SandboxLayer)
Q_DECLARE_OPERATORS_FOR_FLAGS(SandboxLayers)
