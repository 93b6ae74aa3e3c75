#pragma once

#include "ResolvedOption.h"
#include "platform/SandboxPolicy.h"

// What one command step of an option may touch when it runs.
namespace StepSandbox {

// Read the step's program and inputs; create and write in the folder of a final output, or own a folder
// output (made for the step before it starts); own the option's scratch folder, which is also the tool's
// HOME and TMPDIR. The file-size limit scales with the inputs. Walks input folders to size them, so call
// it where a short wait is harmless.
SandboxPolicy policy(const ResolvedOption& option, const ResolvedStep& step);

} // namespace StepSandbox
