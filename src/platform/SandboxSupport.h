#pragma once

#include "SandboxLayer.h"

#include <QString>
#include <optional>

// What this computer's kernel lets Trellick apply to a tool's process. Detected once per run of the
// application; every confined process then gets exactly these layers.
struct SandboxSupport
{
    int landlockAbi = 0; // 0: the kernel has no Landlock
    bool systemCallFilter = false;
    bool userNamespaces = false;

    // The layers a confined process gets.
    SandboxLayers layers() const;
    bool isFull() const;
    // One plain sentence for the info dialog and the settings window.
    QString sentence() const;

    // What the kernel offers, probed on first use; or what a test set.
    static SandboxSupport current();
    // Tests simulate an older or stricter kernel with this (it only takes layers away); nullopt returns to
    // the real kernel.
    static void setForTesting(std::optional<SandboxSupport> support);

    bool operator==(const SandboxSupport&) const = default;
};
