#pragma once

#include "ToolError.h"

struct NetError;

// The installer's words for what went wrong on the network.
namespace NetworkErrors {

// A failed download: the user's cancellation, the status of a refused download, or the system's sentence.
ToolError downloadError(const NetError& error);
// A failed read of the published checksum: only an unreachable server is told apart.
ToolError checksumError(const NetError& error);

} // namespace NetworkErrors
