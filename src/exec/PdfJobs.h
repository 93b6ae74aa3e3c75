#pragma once

#include "base/Result.h"
#include "plans/PlanError.h"

#include <QList>
#include <QString>
#include <QStringList>

// The PDF jobs of NativeOps, as the PDF module (trellick-pdf.so, beside the executable) provides them.
// qpdf and MuPDF bring some fifteen shared libraries along, among them a TLS library; the application
// loads the module when it first runs a PDF job, not at start. Each job is as described in NativeOps.
struct PdfJobs
{
    Result<void, PlanError> (*extract)(const QString& src, const QList<int>& pages, const QString& dest);
    Result<void, PlanError> (*merge)(const QStringList& sources, const QString& dest);
    Result<void, PlanError> (*shrink)(const QString& src, const QString& dest, double scale, double quality);
    Result<void, PlanError> (*pagesToImages)(const QString& src, const QString& destDir);
};

// The module's entry point, exported under this name: `const PdfJobs* trellick_pdf_jobs()`.
inline constexpr char pdfJobsSymbol[] = "trellick_pdf_jobs";
