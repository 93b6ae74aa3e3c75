#pragma once

#include "base/Result.h"
#include "plans/PlanError.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

// The PDF jobs of NativeOps, as the PDF module (trellick-pdf.so, a plugin beside the executable) provides
// them. qpdf and MuPDF bring some fifteen shared libraries along, among them a TLS library; the application
// loads the module when it first runs a PDF job, not at start. Each job is as described in NativeOps.
class PdfJobs
{
public:
    virtual ~PdfJobs() = default;

    virtual Result<void, PlanError> extract(const QString& src, const QList<int>& pages, const QString& dest) const = 0;
    virtual Result<void, PlanError> merge(const QStringList& sources, const QString& dest) const = 0;
    virtual Result<void, PlanError> shrink(const QString& src, const QString& dest, double scale,
                                           double quality) const = 0;
    virtual Result<void, PlanError> pagesToImages(const QString& src, const QString& destDir) const = 0;
};

#define TRELLICK_PDF_JOBS_IID "app.trellick.PdfJobs/1"
Q_DECLARE_INTERFACE(PdfJobs, TRELLICK_PDF_JOBS_IID)
