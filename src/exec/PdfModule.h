#pragma once

#include "PdfJobs.h"

// Loads the PDF module (trellick-pdf.so in the helper folder) once, from any thread, and keeps it loaded.
namespace PdfModule {

// The module's jobs; null when it is missing or damaged.
const PdfJobs* jobs();

} // namespace PdfModule
