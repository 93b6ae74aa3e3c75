#pragma once

#include "ToolError.h"
#include "base/Result.h"

#include <QString>
#include <QStringList>
#include <atomic>

// Takes ffmpeg and ffprobe out of a downloaded build archive (a tar.xz with one top folder holding
// "bin/ffmpeg" and "bin/ffprobe"). Only those two entries are ever written, as new files in `folder` named
// after the tools; every other entry is skipped unread. The archive is refused when any name is absolute or
// has a ".." part, or when a tool's entry is not a plain file (a link, a device), appears twice or sits
// under another top folder than its partner. Blocks: call it off the main thread. `stop` is read between
// blocks. Whatever the outcome, the folder is the caller's to remove.
namespace ToolArchive {

Result<void, ToolError> unpack(const QString& archive, const QString& folder, const QStringList& tools,
                               const std::atomic_bool& stop);

} // namespace ToolArchive
