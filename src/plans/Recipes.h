#pragma once

#include "PlanError.h"
#include "ResolvedOption.h"
#include "base/Result.h"
#include "files/FileAction.h"

#include <QStringList>

// The plans the application writes itself for its direct actions: from the chosen files and the user's
// choices to a checked option, put up for review like an AI plan. A refusal carries the sentence shown.
// Nothing is written to disk; new names avoid what is there and each other.
namespace Recipes {

// The target formats of a conversion (convertImage or convertAudio), in the order its dialog offers them.
// A format is named by its file ending.
QStringList formats(ActionId conversion);

Result<ResolvedOption, PlanError> zip(const QStringList& files);
Result<ResolvedOption, PlanError> extract(const QString& archive);
// The ffmpeg download notice is left out once ffmpeg is ready.
Result<ResolvedOption, PlanError> convert(ActionId conversion, const QStringList& files, const QString& format,
                                          bool ffmpegReady);
Result<ResolvedOption, PlanError> pdfSmaller(const QStringList& files);
Result<ResolvedOption, PlanError> pdfImages(const QStringList& files);
// `pageCount` is the document's, as counted by whoever read it.
Result<ResolvedOption, PlanError> pdfExtract(const QString& file, const QString& pagesText, int pageCount);
Result<ResolvedOption, PlanError> pdfMerge(const QStringList& order);
// New names pair with the files in order; extra names are ignored.
Result<ResolvedOption, PlanError> rename(const QStringList& files, const QStringList& names, bool keepCopy);

} // namespace Recipes
