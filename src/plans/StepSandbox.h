#pragma once

#include "ResolvedOption.h"
#include "platform/SandboxPolicy.h"

// What one command step of an option may touch when it runs.
namespace StepSandbox {

// Read the step's program and exactly its inputs (a file alone, a folder input with what is beneath it);
// own the run's staging folder the output is written in, and the option's scratch folder, which is also
// the tool's HOME and TMPDIR. Nothing else of the output's folder is open to the step. The file-size limit
// scales with the inputs. Walks input folders to size them, so call it where a short wait is harmless.
SandboxPolicy policy(const ResolvedOption& option, const ResolvedStep& step, const QString& stagingDir);

} // namespace StepSandbox
