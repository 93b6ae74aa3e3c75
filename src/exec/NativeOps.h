#pragma once

#include "base/Result.h"
#include "plans/NativeJob.h"
#include "plans/PlanError.h"

#include <QList>
#include <QString>
#include <optional>

// The steps done inside the application: copying and moving files, and the PDF jobs. Each operation fails
// with the one sentence for the user; none leaves a partial file of its own behind, and none ever replaces
// an existing file.
namespace NativeOps {

Result<void, PlanError> run(const NativeJob& job);

// Files and whole folders; the destination must not exist, even if something appears there meanwhile.
Result<void, PlanError> copy(const QString& from, const QString& to);
Result<void, PlanError> move(const QString& from, const QString& to);

// Pages are copied whole (text, links, annotations and rotation kept).
Result<void, PlanError> pdfExtract(const QString& src, const QList<int>& pages, const QString& dest);
Result<void, PlanError> pdfMerge(const QStringList& sources, const QString& dest);
// A smaller copy with the pages as they are: pictures scaled down to `scale` pixels per point of where
// they are drawn (photographs stored as JPEG of `quality`, 0...1), everything else compressed tightly.
// Pages that are all pictures are also redrawn whole at that scale, and the smaller result is kept. A
// copy that would not be at least 5 % smaller is not written: "This PDF is already about as small as it
// can be."
Result<void, PlanError> shrink(const QString& src, const QString& dest, double scale = 0.7, double quality = 0.55);
// One PNG per page at twice the page's size in points, named page-01.png and so on, inside `destDir`.
Result<void, PlanError> pagesToImages(const QString& src, const QString& destDir);

} // namespace NativeOps
