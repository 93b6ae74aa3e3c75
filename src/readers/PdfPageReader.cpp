#include "PdfPageReader.h"

#include "platform/FdChannel.h"

#include <QDeadlineTimer>
#include <qpdf/QPDF.hh>
#include <set>
#include <sys/mman.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

std::optional<int> countPages(QPDF& pdf)
{
    const QDeadlineTimer deadline(PdfPageReader::timeLimitMs);
    std::set<QPDFObjGen> seen;
    std::vector<QPDFObjectHandle> todo{pdf.getRoot().getKey("/Pages")};
    int nodes = 0;
    int pages = 0;
    while (!todo.empty()) {
        if (++nodes > PdfPageReader::maxNodes || deadline.hasExpired()) {
            return std::nullopt;
        }
        QPDFObjectHandle node = todo.back();
        todo.pop_back();
        if (!node.isDictionary()) {
            return std::nullopt;
        }
        QPDFObjectHandle kids = node.getKey("/Kids");
        if (!kids.isArray()) {
            ++pages; // a page may be listed more than once, and is then printed more than once
            continue;
        }
        if (node.isIndirect() && !seen.insert(node.getObjGen()).second) {
            return std::nullopt;
        }
        for (int i = kids.getArrayNItems() - 1; i >= 0; --i) {
            todo.push_back(kids.getArrayItem(i));
        }
    }
    return pages <= PdfPageReader::maxPages ? std::optional(pages) : std::nullopt;
}

} // namespace

namespace PdfPageReader {

MediaFacts read(int fd)
{
    MediaFacts facts;
    facts.source = u"qpdf"_s;
    // Without its signature near the start, qpdf would look for objects through the whole file, however large.
    QByteArray head(1024, Qt::Uninitialized);
    head.resize(std::max<qint64>(Descriptor::readAt(fd, head.data(), head.size(), 0), 0));
    if (!head.contains("%PDF-")) {
        return facts;
    }
    // qpdf reads the file in small pieces and moves back and forth, which through a stream costs a system
    // call or two each time; mapped, the file is read like memory, without a copy.
    const qint64 size = Descriptor::sizeOf(fd);
    void* const mapped = size > 0 ? mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    FILE* const stream = mapped == MAP_FAILED ? Descriptor::streamOf(fd) : nullptr;
    if (mapped != MAP_FAILED || stream) {
        try {
            QPDF pdf;
            pdf.setSuppressWarnings(true);
            if (stream) {
                // The document closes the stream from here on, however it ends.
                pdf.processFile("the file", stream, true);
            } else {
                pdf.processMemoryFile("the file", static_cast<const char*>(mapped), size_t(size));
            }
            facts.pages = countPages(pdf);
        } catch (const std::exception&) {
            // Damaged, locked with a password, or not a PDF: no count.
        }
    }
    if (mapped != MAP_FAILED) {
        munmap(mapped, size_t(size));
    }
    return facts;
}

} // namespace PdfPageReader
