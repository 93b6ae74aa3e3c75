// Runs one in-process PDF job from the command line, so that the benchmark can time it beside the tools
// people would use instead.
#include "exec/NativeOps.h"
#include "plans/PageList.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString job = args.value(0);
    Result<void, PlanError> failure;
    if (job == u"extract"_s && args.size() == 4) {
        const std::optional<QList<int>> pages = PageList::parse(args.at(2), 1 << 30);
        failure = pages ? NativeOps::pdfExtract(args.at(1), *pages, args.at(3)) : PlanError{u"Bad page list."_s};
    } else if (job == u"merge"_s && args.size() >= 3) {
        failure = NativeOps::pdfMerge(args.mid(2), args.at(1));
    } else if (job == u"shrink"_s && args.size() == 3) {
        failure = NativeOps::shrink(args.at(1), args.at(2));
    } else if (job == u"images"_s && args.size() == 3) {
        failure = NativeOps::pagesToImages(args.at(1), args.at(2));
    } else {
        std::fputs(
            "usage: trellick-pdfjob extract SRC PAGES DEST | merge DEST SRC... | shrink SRC DEST | images SRC DIR\n",
            stderr);
        return 2;
    }
    if (!failure.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure.error().message));
        return 1;
    }
    return 0;
}
