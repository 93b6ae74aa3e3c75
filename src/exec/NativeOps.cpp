#include "NativeOps.h"

#include "NoReplace.h"
#include "PdfModule.h"

using namespace Qt::StringLiterals;

namespace {

bool isHorizontalSpace(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimmedHorizontally(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isHorizontalSpace(text.at(begin))) {
        ++begin;
    }
    while (end > begin && isHorizontalSpace(text.at(end - 1))) {
        --end;
    }
    return text.mid(begin, end - begin);
}

// A decimal page number with an optional leading "+"; nothing else (no signs, spaces or other bases).
std::optional<int> pageNumber(const QString& text)
{
    const QString digits = text.startsWith(u'+') ? text.mid(1) : text;
    if (digits.isEmpty() || digits.size() > 9) {
        return {};
    }
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') {
            return {};
        }
    }
    return digits.toInt();
}

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

std::optional<QList<int>> parsePages(const QString& text, int pageCount)
{
    QList<int> indices;
    for (const QString& rawPiece : text.split(u',', Qt::SkipEmptyParts)) {
        const QString piece = trimmedHorizontally(rawPiece);
        if (piece.isEmpty()) {
            continue;
        }
        QList<int> numbers;
        for (const QString& part : piece.split(u'-', Qt::SkipEmptyParts)) {
            const std::optional<int> number = pageNumber(trimmedHorizontally(part));
            if (!number || *number < 1 || *number > pageCount) {
                return {};
            }
            numbers << *number;
        }
        if (numbers.size() == 1) {
            indices << numbers.first() - 1;
        } else if (numbers.size() == 2 && numbers.at(0) <= numbers.at(1)) {
            for (int page = numbers.at(0); page <= numbers.at(1); ++page) {
                indices << page - 1;
            }
        } else {
            return {};
        }
    }
    return indices.isEmpty() ? std::nullopt : std::optional<QList<int>>(indices);
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
