#include "NativeOps.h"

#include "NoReplace.h"
#include "PdfModule.h"

using namespace Qt::StringLiterals;

namespace {

const PlanError noPdfModule{u"Trellick’s PDF part is missing or damaged; installing Trellick again should mend it."_s};

template <class... Ts>
struct Overloaded : Ts...
{
    using Ts::operator()...;
};

} // namespace

namespace NativeOps {

Result<void, PlanError> run(const NativeJob& job)
{
    return std::visit(Overloaded{
                          [](const NativeJobs::Copy& j) { return copy(j.from, j.to); },
                          [](const NativeJobs::Move& j) { return move(j.from, j.to); },
                          [](const NativeJobs::PdfExtract& j) { return pdfExtract(j.src, j.pages, j.dest); },
                          [](const NativeJobs::PdfMerge& j) { return pdfMerge(j.sources, j.dest); },
                          [](const NativeJobs::PdfShrink& j) { return shrink(j.src, j.dest, 0.7, 0.55); },
                          [](const NativeJobs::PdfImages& j) { return pagesToImages(j.src, j.destDir); },
                      },
                      job);
}

Result<void, PlanError> copy(const QString& from, const QString& to)
{
    return NoReplace::copy(from, to);
}

Result<void, PlanError> move(const QString& from, const QString& to)
{
    return NoReplace::move(from, to);
}

Result<void, PlanError> pdfExtract(const QString& src, const QList<int>& pages, const QString& dest)
{
    const PdfJobs* jobs = PdfModule::jobs();
    if (!jobs) {
        return noPdfModule;
    }
    return jobs->extract(src, pages, dest);
}

Result<void, PlanError> pdfMerge(const QStringList& sources, const QString& dest)
{
    const PdfJobs* jobs = PdfModule::jobs();
    if (!jobs) {
        return noPdfModule;
    }
    return jobs->merge(sources, dest);
}

Result<void, PlanError> shrink(const QString& src, const QString& dest, double scale, double quality)
{
    const PdfJobs* jobs = PdfModule::jobs();
    if (!jobs) {
        return noPdfModule;
    }
    return jobs->shrink(src, dest, scale, quality);
}

Result<void, PlanError> pagesToImages(const QString& src, const QString& destDir)
{
    const PdfJobs* jobs = PdfModule::jobs();
    if (!jobs) {
        return noPdfModule;
    }
    return jobs->pagesToImages(src, destDir);
}

} // namespace NativeOps
