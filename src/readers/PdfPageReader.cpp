#include "PdfPageReader.h"

#include <QPdfDocument>

using namespace Qt::StringLiterals;

namespace PdfPageReader {

MediaFacts read(const QString& path)
{
    MediaFacts facts;
    facts.source = u"Qt PDF"_s;
    QPdfDocument document;
    if (document.load(path) == QPdfDocument::Error::None) {
        facts.pages = document.pageCount();
    }
    return facts;
}

} // namespace PdfPageReader
