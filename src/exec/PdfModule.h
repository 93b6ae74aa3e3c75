#pragma once

#include "PdfJobs.h"

// Loads the PDF module once, from any thread, and keeps it loaded.
namespace PdfModule {

// The installed module: beside the executable.
QString installedPath();
// The module's jobs; null when it is missing or damaged.
const PdfJobs* jobs();

} // namespace PdfModule
