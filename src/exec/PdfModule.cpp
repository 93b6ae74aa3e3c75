#include "PdfModule.h"

#include "platform/HelperFolder.h"

#include <QLibrary>

using namespace Qt::StringLiterals;

namespace {

const PdfJobs* load()
{
    QLibrary module(PdfModule::installedPath());
    using Entry = const PdfJobs* (*)();
    const auto entry = module.load() ? reinterpret_cast<Entry>(module.resolve(pdfJobsSymbol)) : nullptr;
    if (!entry) {
        qWarning("The PDF module could not be loaded: %s", qUtf8Printable(module.errorString()));
        return nullptr;
    }
    return entry();
}

} // namespace

namespace PdfModule {

QString installedPath()
{
    return HelperFolder::path() + u"/trellick-pdf.so"_s;
}

const PdfJobs* jobs()
{
    static const PdfJobs* const loaded = load();
    return loaded;
}

} // namespace PdfModule
