#include "SystemTools.h"

#include "platform/HelperFolder.h"

using namespace Qt::StringLiterals;

namespace {

QString& injectedDir()
{
    static QString folder;
    return folder;
}

} // namespace

namespace SystemTools {

void setStandInDir(const QString& folder)
{
    injectedDir() = folder;
}

QString standInDir()
{
    if (!injectedDir().isEmpty()) {
        return injectedDir();
    }
    return HelperFolder::path();
}

QString path(const QString& name)
{
    if (name == u"zip") {
        return u"/usr/bin/zip"_s;
    }
    if (name == u"tar") {
        return u"/usr/bin/tar"_s;
    }
    if (name == u"sips" || name == u"afconvert" || name == u"ditto") {
        const QString folder = standInDir();
        return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
    }
    return {};
}

} // namespace SystemTools
