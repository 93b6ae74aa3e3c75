// The PDF jobs of NativeOps: qpdf copies and writes PDF structure, the renderer rasterises pages.
#include "PdfJobs.h"

#include "ImageRecoder.h"
#include "ImageSurvey.h"
#include "NoReplace.h"
#include "PageEncoder.h"
#include "PdfRenderer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <qpdf/Pipeline.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFSystemError.hh>
#include <qpdf/QPDFWriter.hh>
#include <set>
#include <unistd.h>
#include <vector>
#include <zlib.h>

using namespace Qt::StringLiterals;

namespace {

const PlanError notOpened{u"The PDF could not be opened."_s};
const PlanError noRoom{NoReplace::diskFullText};
// A smaller copy must save at least this share of the original's size to be worth a new file.
constexpr double worthSaving = 0.95;

// More pages than any real document has. A page listed many times over is copied once for each listing,
// so a small hostile file could otherwise make millions of pages and take gigabytes.
constexpr size_t maxPages = 100000;

// Whether the page tree is a tree of at most maxPages pages, walked without qpdf's own page list (which
// copies every repeated page before anything could refuse it).
bool pageTreeBounded(QPDF& pdf)
{
    std::set<QPDFObjGen> seen;
    std::vector<QPDFObjectHandle> pending{pdf.getRoot().getKey("/Pages")};
    size_t pages = 0;
    while (!pending.empty()) {
        QPDFObjectHandle node = pending.back();
        pending.pop_back();
        QPDFObjectHandle kids = node.isDictionary() ? node.getKey("/Kids") : QPDFObjectHandle::newNull();
        if (!kids.isArray()) {
            if (++pages > maxPages) {
                return false;
            }
            continue;
        }
        // A page node reached twice is a loop (or a shared branch, which readers disagree about).
        if ((node.isIndirect() && !seen.insert(node.getObjGen()).second)
            || size_t(kids.getArrayNItems()) > maxPages - pages) {
            return false;
        }
        for (const QPDFObjectHandle& kid : kids.aitems()) {
            pending.push_back(kid);
        }
    }
    return true;
}

// Null when qpdf cannot read the file; `hostile` is set when it could, and the page tree is refused (no
// repair is then tried: it would only rebuild the same pages).
std::unique_ptr<QPDF> openPdf(const QString& path, bool* hostile = nullptr)
{
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true); // damaged files are repaired quietly where qpdf can
    try {
        pdf->processFile(QFile::encodeName(path).constData());
        if (!pageTreeBounded(*pdf)) {
            if (hostile) {
                *hostile = true;
            }
            return nullptr;
        }
        pdf->getAllPages(); // a page tree qpdf cannot read counts as not opened
    } catch (const std::exception&) {
        return nullptr;
    }
    return pdf;
}

// The renderer for the jobs that draw pages, with no more pages than openPdf allows: MuPDF would draw a
// page listed two million times two million times.
std::unique_ptr<PdfRenderer> openRenderer(const QString& path)
{
    std::unique_ptr<PdfRenderer> renderer = PdfRenderer::open(path);
    if (!renderer || renderer->pageCount() <= 0 || size_t(renderer->pageCount()) > maxPages) {
        return nullptr;
    }
    return renderer;
}

// Appends a page of another document whole: its content, resources, annotations and rotation, with form
// fields re-attached the way qpdf's own page copying does it.
void appendPage(QPDFPageDocumentHelper& target, QPDFAcroFormDocumentHelper& targetForms, QPDFPageObjectHelper page,
                QPDFAcroFormDocumentHelper& sourceForms)
{
    target.addPage(page, false);
    if (sourceForms.hasAcroForm()) {
        QPDFPageObjectHelper added = target.getAllPages().back();
        targetForms.fixCopiedAnnotations(added.getObjectHandle(), page.getObjectHandle(), sourceForms);
    }
}

// Why the last writeNew() on this thread failed (errno), so that a full disk is told apart.
thread_local int lastWriteError = 0;

bool diskFull()
{
    return lastWriteError == ENOSPC || lastWriteError == EDQUOT;
}

// Writes `pdf` to a new file at `dest`, never replacing one; a failed write leaves nothing behind. Every
// write and the final flush and close are checked: a full disk often shows only there.
bool writeNew(QPDF& pdf, const QString& dest, const std::function<void(QPDFWriter&)>& configure)
{
    lastWriteError = 0;
    std::FILE* file = NoReplace::createFile(dest);
    if (!file) {
        lastWriteError = errno;
        return false;
    }
    const QByteArray name = QFile::encodeName(dest); // qpdf keeps the pointer, not a copy
    bool written = false;
    try {
        QPDFWriter writer(pdf);
        writer.setOutputFile(name.constData(), file, false);
        configure(writer);
        writer.write();
        // A write that failed inside the stream's buffer shows only in its error flag, with errno still
        // telling why; the flush after it may well succeed with nothing left to write.
        const int code = errno;
        if (std::ferror(file)) {
            lastWriteError = code ? code : EIO;
        } else {
            written = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
            lastWriteError = written ? 0 : errno;
        }
    } catch (const QPDFSystemError& error) {
        lastWriteError = error.getErrno();
    } catch (const std::exception&) {
        lastWriteError = EIO;
    }
    if (std::fclose(file) != 0 && written) {
        lastWriteError = errno;
        written = false;
    }
    if (!written) {
        QFile::remove(dest);
    }
    return written;
}

// Copied pages keep the PDF version their features need.
std::function<void(QPDFWriter&)> atLeastVersion(const std::string& version)
{
    return [version](QPDFWriter& writer) {
        if (!version.empty()) {
            writer.setMinimumPDFVersion(version);
        }
    };
}

// The JPEG pages of a smaller copy wait in a scratch file until qpdf writes them, so memory holds only
// the pages in flight.
class JpegSpool : public QPDFObjectHandle::StreamDataProvider
{
public:
    bool open() { return m_file.open(); }

    bool add(QPDFObjGen id, const QByteArray& bytes)
    {
        const qint64 offset = m_file.size();
        if (!m_file.seek(offset) || m_file.write(bytes) != bytes.size()) {
            return false;
        }
        m_parts[id] = {offset, bytes.size()};
        return true;
    }

    void provideStreamData(QPDFObjGen const& og, Pipeline* pipeline) override
    {
        const auto [offset, size] = m_parts.at(og);
        m_file.seek(offset);
        const QByteArray bytes = m_file.read(size);
        if (bytes.size() != size) {
            throw std::runtime_error("scratch file unreadable");
        }
        pipeline->write(reinterpret_cast<const unsigned char*>(bytes.constData()), size_t(bytes.size()));
        pipeline->finish();
    }

private:
    QTemporaryFile m_file;
    std::map<QPDFObjGen, std::pair<qint64, qint64>> m_parts;
};

QByteArray points(double value)
{
    QByteArray text = QByteArray::number(value, 'f', 4);
    while (text.endsWith('0')) {
        text.chop(1);
    }
    if (text.endsWith('.')) {
        text.chop(1);
    }
    return text;
}

// One page of the smaller copy: the picture stretched over a page of the source page's size.
bool addPicturePage(QPDF& pdf, QPDFPageDocumentHelper& pages, JpegSpool& spool,
                    const std::shared_ptr<JpegSpool>& provider, const PdfRenderer::Page& rendered)
{
    QPDFObjectHandle image = QPDFObjectHandle::newStream(&pdf);
    QPDFObjectHandle dict = image.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(rendered.pixels.width()));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(rendered.pixels.height()));
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceRGB"));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    if (!spool.add(image.getObjGen(), rendered.encoded)) {
        return false;
    }
    // Stored as it is: the JPEG bytes are the stream, decoded by the viewer.
    image.replaceStreamData(provider, QPDFObjectHandle::newName("/DCTDecode"), QPDFObjectHandle::newNull());

    const QByteArray w = points(rendered.points.width());
    const QByteArray h = points(rendered.points.height());
    const QPDFObjectHandle content
        = QPDFObjectHandle::newStream(&pdf, QByteArray("q " + w + " 0 0 " + h + " 0 0 cm /Im0 Do Q").toStdString());
    QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", image);
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", xobjects);
    QPDFObjectHandle page = QPDFObjectHandle::newDictionary();
    page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    page.replaceKey("/MediaBox",
                    QPDFObjectHandle::newArray(
                        QPDFObjectHandle::Rectangle(0, 0, rendered.points.width(), rendered.points.height())));
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", content);
    pages.addPage(pdf.makeIndirectObject(page), false);
    return true;
}

Result<void, PlanError> pdfExtract(const QString& src, const QList<int>& pages, const QString& dest)
{
    const std::unique_ptr<QPDF> source = openPdf(src);
    if (!source) {
        return notOpened;
    }
    try {
        QPDF out;
        out.emptyPDF();
        QPDFPageDocumentHelper outPages(out);
        QPDFAcroFormDocumentHelper outForms(out);
        QPDFAcroFormDocumentHelper sourceForms(*source);
        const std::vector<QPDFPageObjectHelper> sourcePages = QPDFPageDocumentHelper(*source).getAllPages();
        bool any = false;
        for (const int index : pages) {
            if (index >= 0 && size_t(index) < sourcePages.size()) {
                appendPage(outPages, outForms, sourcePages.at(size_t(index)), sourceForms);
                any = true;
            }
        }
        if (!any) {
            return PlanError{u"None of those pages exist in this PDF."_s};
        }
        if (writeNew(out, dest, atLeastVersion(source->getPDFVersion()))) {
            return {};
        }
        if (diskFull()) {
            return noRoom;
        }
    } catch (const std::exception&) {
    }
    return PlanError{u"The new PDF could not be saved."_s};
}

Result<void, PlanError> pdfMerge(const QStringList& sources, const QString& dest)
{
    // Pages are copied lazily, so every source stays open until the result is written. A file named
    // twice is read once: its repeated pages then share their content instead of being copied again.
    std::map<QString, std::unique_ptr<QPDF>> opened;
    std::string version;
    try {
        QPDF out;
        out.emptyPDF();
        QPDFPageDocumentHelper outPages(out);
        QPDFAcroFormDocumentHelper outForms(out);
        bool any = false;
        for (const QString& path : sources) {
            std::unique_ptr<QPDF>& source = opened[path];
            if (!source) {
                source = openPdf(path);
                if (!source) {
                    return PlanError{u"“"_s + QFileInfo(path).fileName() + u"” could not be opened as a PDF."_s};
                }
                version = std::max(version, source->getPDFVersion());
            }
            QPDFAcroFormDocumentHelper sourceForms(*source);
            for (const QPDFPageObjectHelper& page : QPDFPageDocumentHelper(*source).getAllPages()) {
                appendPage(outPages, outForms, page, sourceForms);
                any = true;
            }
        }
        if (any && writeNew(out, dest, atLeastVersion(version))) {
            return {};
        }
        if (diskFull()) {
            return noRoom;
        }
    } catch (const std::exception&) {
    }
    return PlanError{u"The merged PDF could not be saved."_s};
}

// The smaller copy with every page as it is (text, fonts, drawings, links, bookmarks): pictures scaled
// down to `density` pixels per point of where they are drawn, objects nothing refers to dropped (the
// writer only writes what it reaches), everything else compressed as tightly as zlib can. Tells whether the pages are
// all pictures, when the copy was written.
std::optional<bool> keptPagesCopy(QPDF& pdf, const QString& path, double density, double quality)
{
    ImageSurvey survey;
    try {
        survey = surveyImages(pdf);
    } catch (const std::exception&) {
        return std::nullopt; // a document structure this broken is not rewritten
    }
    for (const auto& [id, area] : survey.largestArea) {
        try {
            if (!survey.unsure.count(id)) {
                ImageRecoder::recode(pdf.getObject(id), {area, survey.softMasks.count(id) > 0}, density, quality);
            }
        } catch (const std::exception&) {
            // a picture that cannot be read stays as it is
        }
    }
    Pl_Flate::setCompressionLevel(9);
    const bool written = writeNew(pdf, path, [](QPDFWriter& writer) {
        writer.setObjectStreamMode(qpdf_o_generate);
        writer.setDecodeLevel(qpdf_dl_generalized);
        writer.setRecompressFlate(true);
    });
    Pl_Flate::setCompressionLevel(Z_DEFAULT_COMPRESSION);
    return written ? std::optional<bool>(survey.imageOnly) : std::nullopt;
}

// The smaller copy of a scan or photo book: every page rendered at `scale` pixels per point and stored as
// one JPEG of `quality` on a page of the source page's size. Every one of the source's `pages` must be
// drawn: a copy short of a page would lose it, however small it is.
bool pagesAsPicturesCopy(PdfRenderer& renderer, const QString& path, double scale, double quality, size_t pages)
{
    auto spool = std::make_shared<JpegSpool>();
    if (!spool->open()) {
        return false;
    }
    try {
        QPDF out;
        out.emptyPDF();
        QPDFPageDocumentHelper outPages(out);
        size_t added = 0;
        const bool complete = renderer.renderPages(
            scale, [quality](const PdfRenderer::Raster& raster) { return PageEncoder::jpeg(raster, quality); },
            [&](const PdfRenderer::Page& page) {
                if (page.encoded.isEmpty() || !addPicturePage(out, outPages, *spool, spool, page)) {
                    return false;
                }
                ++added;
                return true;
            });
        return complete && added == pages && writeNew(out, path, [](QPDFWriter&) {});
    } catch (const std::exception&) {
    }
    return false;
}

Result<void, PlanError> shrink(const QString& src, const QString& dest, double scale, double quality)
{
    bool hostile = false;
    std::unique_ptr<QPDF> pdf = openPdf(src, &hostile);
    const std::unique_ptr<PdfRenderer> renderer = hostile ? nullptr : openRenderer(src);
    if (!renderer) {
        return notOpened;
    }
    const PlanError notCreated{u"The new PDF could not be created."_s};
    // The copies are made beside the destination, so that the one kept only needs renaming.
    QTemporaryDir scratch(QFileInfo(dest).absolutePath() + u"/.trellick-smaller-XXXXXX"_s);
    if (!scratch.isValid()) {
        return notCreated;
    }
    const QString repaired = scratch.filePath(u"repaired.pdf"_s);
    if (!pdf && renderer->saveRepaired(repaired)) {
        pdf = openPdf(repaired);
    }
    // Measured, not guessed: pages that are all pictures get redrawn too, and the smaller copy wins.
    QStringList copies;
    const QString kept = scratch.filePath(u"kept.pdf"_s);
    const std::optional<bool> allPictures = pdf ? keptPagesCopy(*pdf, kept, scale, quality) : std::nullopt;
    if (allPictures) {
        copies << kept;
    }
    const QString redrawn = scratch.filePath(u"redrawn.pdf"_s);
    if (allPictures.value_or(false)
        && pagesAsPicturesCopy(*renderer, redrawn, scale, quality, QPDFPageDocumentHelper(*pdf).getAllPages().size())) {
        copies << redrawn;
    }
    if (copies.isEmpty()) {
        return diskFull() ? noRoom : notCreated;
    }
    const auto smallest = std::min_element(copies.begin(), copies.end(), [](const QString& a, const QString& b) {
        return QFileInfo(a).size() < QFileInfo(b).size();
    });
    if (double(QFileInfo(*smallest).size()) > worthSaving * double(QFileInfo(src).size())) {
        return PlanError{u"This PDF is already about as small as it can be."_s};
    }
    if (!NoReplace::move(*smallest, dest).ok()) {
        return notCreated;
    }
    return {};
}

Result<void, PlanError> pagesToImages(const QString& src, const QString& destDir)
{
    bool hostile = false;
    openPdf(src, &hostile);
    const std::unique_ptr<PdfRenderer> renderer = hostile ? nullptr : openRenderer(src);
    if (!renderer) {
        return notOpened;
    }
    const int digits = int(QString::number(renderer->pageCount()).size());
    Result<void, PlanError> failure;
    int written = 0;
    renderer->renderPages(2.0, PageEncoder::png, [&](const PdfRenderer::Page& page) {
        if (page.encoded.isEmpty()) {
            return true; // a page that did not render is left out
        }
        const QString name = u"page-"_s + QString::number(page.index + 1).rightJustified(digits, u'0') + u".png"_s;
        failure = NoReplace::writeNew(QDir(destDir).filePath(name), page.encoded);
        written += failure.ok() ? 1 : 0;
        return failure.ok();
    });
    // Not one page drawn is not a folder of pictures.
    return failure.ok() && written == 0 ? notOpened : failure;
}

} // namespace

// The PDF module's root object.
class PdfPlugin : public QObject, public PdfJobs
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TRELLICK_PDF_JOBS_IID)
    Q_INTERFACES(PdfJobs)

public:
    Result<void, PlanError> extract(const QString& src, const QList<int>& pages, const QString& dest) const override
    {
        return pdfExtract(src, pages, dest);
    }
    Result<void, PlanError> merge(const QStringList& sources, const QString& dest) const override
    {
        return pdfMerge(sources, dest);
    }
    Result<void, PlanError> shrink(const QString& src, const QString& dest, double scale, double quality) const override
    {
        return ::shrink(src, dest, scale, quality);
    }
    Result<void, PlanError> pagesToImages(const QString& src, const QString& destDir) const override
    {
        return ::pagesToImages(src, destDir);
    }
};

#include "PdfJobs.moc"
