#pragma once

#include "SandboxLayer.h"
#include "SandboxPolicy.h"

#include <QProcessEnvironment>
#include <memory>

class ChildConfinement;
class QProcess;

// Confinement for one tool run. Everything is prepared here, in the parent: the rule set with its paths
// opened, the system-call filter, the limits and a fresh environment. The child started by the process
// only makes the system calls that apply them, between fork and exec.
class Sandbox
{
public:
    explicit Sandbox(const SandboxPolicy& policy);

    // What the process will get on this kernel.
    SandboxLayers layers() const { return m_layers; }
    // Only what a tool needs: PATH, the locale, the time zone, and HOME and TMPDIR in the scratch folder.
    const QProcessEnvironment& environment() const { return m_environment; }

    // Gives the process the environment and confines it when it starts. The process keeps what it needs,
    // so this object may go away before the process is started. A `shared` descriptor is handed to the
    // process as its descriptor 3 (the caller closes its own copy once the process has started).
    void applyTo(QProcess& process, int shared = -1) const;

private:
    SandboxLayers m_layers;
    QProcessEnvironment m_environment;
    std::shared_ptr<const ChildConfinement> m_child;
};
