#pragma once

#include "ProcResult.h"
#include "platform/SandboxPolicy.h"

#include <QFuture>
#include <QStringList>
#include <optional>

namespace ProcessUtil {

// Runs `program` (an absolute path) with `args` to completion, standard input from the null device and
// both outputs drained at once. Never fails: a program that cannot start gives status -1 and the
// system's description in `err`; a text that is not valid UTF-8 comes back empty. A time limit, when
// given, kills the child and reports status -1. With a sandbox policy the child starts confined to it.
ProcResult run(const QString& program, const QStringList& args, const QString& cwd = {},
               std::optional<int> timeoutMs = std::nullopt, const std::optional<SandboxPolicy>& sandbox = std::nullopt);

// The same on the global thread pool, so the caller's thread never waits.
QFuture<ProcResult> capture(const QString& program, const QStringList& args, const QString& cwd = {},
                            std::optional<int> timeoutMs = std::nullopt,
                            const std::optional<SandboxPolicy>& sandbox = std::nullopt);

// Decodes UTF-8 strictly: invalid input gives an empty text rather than replacement characters.
QString strictUtf8(const QByteArray& bytes);

} // namespace ProcessUtil
