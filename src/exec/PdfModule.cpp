#include "PdfModule.h"

#include "platform/PluginLoader.h"

using namespace Qt::StringLiterals;

namespace {

const PdfJobs* load()
{
    const PluginLoader::Loaded<PdfJobs> result = PluginLoader::load<PdfJobs>(u"trellick-pdf.so"_s);
    if (!result.plugin) {
        qWarning("The PDF module could not be loaded: %s", qUtf8Printable(result.error));
    }
    return result.plugin;
}

} // namespace

namespace PdfModule {

const PdfJobs* jobs()
{
    static const PdfJobs* const loaded = load();
    return loaded;
}

} // namespace PdfModule
