#pragma once

#include "RunError.h"

#include <QString>
#include <functional>

namespace ToolFailure {

// Why a tool stopped, from its error output and exit status: one sentence for the user, and the kind
// `alreadyExists` when the tool refused to replace a file; the output itself becomes the details.
// `fileSizeLimit` gives the largest file the step could write, asked only when that is what stopped it.
RunError describe(const QString& errorText, int status, const std::function<qint64()>& fileSizeLimit);

} // namespace ToolFailure
