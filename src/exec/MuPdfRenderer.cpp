#include "PdfRenderer.h"

#include <QFile>
#include <QFuture>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>
#include <array>
#include <cmath>
#include <deque>
#include <mutex>

extern "C" {
#include <mupdf/fitz.h>
#include <mupdf/pdf.h>
}

// MuPDF renders several times faster than the alternatives measured here and is thread-safe given a
// lock set: the document is read on one thread into display lists, which worker threads render with
// cloned contexts. The fz_try blocks use setjmp, so the functions holding them keep no C++ objects.

namespace {

// Enough for an A0 page at twice its size; a page asking for more is rendered smaller instead.
constexpr double maxPixels = 50e6;
// MuPDF's cache of decoded images and glyphs, shared by all threads of one document.
constexpr size_t storeBytes = size_t(96) << 20;

void quiet(void*, const char*) { }

void silence(fz_context* ctx)
{
    fz_set_warning_callback(ctx, quiet, nullptr);
    fz_set_error_callback(ctx, quiet, nullptr);
}

fz_document* openPdf(fz_context* ctx, const char* path)
{
    fz_document* doc = nullptr;
    fz_stream* stream = nullptr;
    fz_var(doc);
    fz_var(stream);
    fz_try(ctx)
    {
        stream = fz_open_file(ctx, path);
        doc = fz_open_document_with_stream(ctx, "application/pdf", stream);
        if (fz_needs_password(ctx, doc) || fz_count_pages(ctx, doc) < 0) {
            fz_throw(ctx, FZ_ERROR_GENERIC, "locked");
        }
    }
    fz_always(ctx)
    {
        fz_drop_stream(ctx, stream);
    }
    fz_catch(ctx)
    {
        fz_drop_document(ctx, doc);
        doc = nullptr;
    }
    return doc;
}

int countPages(fz_context* ctx, fz_document* doc)
{
    int count = 0;
    fz_var(count);
    fz_try(ctx)
    {
        count = fz_count_pages(ctx, doc);
    }
    fz_catch(ctx)
    {
        count = 0;
    }
    return count;
}

// Reads one page into a display list; null when the page is broken.
fz_display_list* loadPage(fz_context* ctx, fz_document* doc, int index, fz_rect* bounds)
{
    fz_page* page = nullptr;
    fz_display_list* list = nullptr;
    fz_var(page);
    fz_var(list);
    fz_try(ctx)
    {
        page = fz_load_page(ctx, doc, index);
        *bounds = fz_bound_page(ctx, page);
        list = fz_new_display_list_from_page(ctx, page);
    }
    fz_always(ctx)
    {
        fz_drop_page(ctx, page);
    }
    fz_catch(ctx)
    {
        fz_drop_display_list(ctx, list);
        list = nullptr;
    }
    return list;
}

fz_pixmap* renderList(fz_context* ctx, fz_display_list* list, fz_rect bounds, int width, int height)
{
    fz_pixmap* pixmap = nullptr;
    fz_device* device = nullptr;
    fz_var(pixmap);
    fz_var(device);
    fz_try(ctx)
    {
        pixmap = fz_new_pixmap(ctx, fz_device_rgb(ctx), width, height, nullptr, 0);
        fz_clear_pixmap_with_value(ctx, pixmap, 255);
        // Stretch the visible page over the whole raster, wherever its box starts.
        const fz_matrix ctm
            = fz_concat(fz_translate(-bounds.x0, -bounds.y0),
                        fz_scale(float(width) / (bounds.x1 - bounds.x0), float(height) / (bounds.y1 - bounds.y0)));
        device = fz_new_draw_device(ctx, fz_identity, pixmap);
        fz_run_display_list(ctx, list, device, ctm, fz_infinite_rect, nullptr);
        fz_close_device(ctx, device);
    }
    fz_always(ctx)
    {
        fz_drop_device(ctx, device);
    }
    fz_catch(ctx)
    {
        fz_drop_pixmap(ctx, pixmap);
        pixmap = nullptr;
    }
    return pixmap;
}

bool saveDocument(fz_context* ctx, fz_document* doc, const char* path)
{
    bool saved = false;
    fz_var(saved);
    fz_try(ctx)
    {
        pdf_document* pdf = pdf_specifics(ctx, doc);
        if (pdf) {
            pdf_save_document(ctx, pdf, path, &pdf_default_write_options);
            saved = true;
        }
    }
    fz_catch(ctx)
    {
        saved = false;
    }
    return saved;
}

class MuPdfRenderer final : public PdfRenderer
{
public:
    ~MuPdfRenderer() override;

    bool open(const QString& path);
    int pageCount() const override { return m_pageCount; }
    bool renderPages(double scale, const Encoder& encode, const Sink& sink) override;
    bool saveRepaired(const QString& path) override
    {
        return saveDocument(m_ctx, m_doc, QFile::encodeName(path).constData());
    }

private:
    struct Loaded
    {
        int index = 0;
        fz_display_list* list = nullptr;
        fz_rect bounds{};
    };

    Page render(const Loaded& loaded, double scale, const Encoder& encode) const;

    static void lock(void* user, int which) { static_cast<std::mutex*>(user)[which].lock(); }
    static void unlock(void* user, int which) { static_cast<std::mutex*>(user)[which].unlock(); }

    std::array<std::mutex, FZ_LOCK_MAX> m_mutexes;
    fz_locks_context m_locks{m_mutexes.data(), lock, unlock};
    fz_context* m_ctx = nullptr;
    fz_document* m_doc = nullptr;
    int m_pageCount = 0;
};

MuPdfRenderer::~MuPdfRenderer()
{
    if (m_ctx) {
        fz_drop_document(m_ctx, m_doc);
        fz_drop_context(m_ctx);
    }
}

bool MuPdfRenderer::open(const QString& path)
{
    m_ctx = fz_new_context(nullptr, &m_locks, storeBytes);
    if (!m_ctx) {
        return false;
    }
    silence(m_ctx);
    fz_register_document_handlers(m_ctx);
    m_doc = openPdf(m_ctx, QFile::encodeName(path).constData());
    if (!m_doc) {
        return false;
    }
    m_pageCount = countPages(m_ctx, m_doc);
    return true;
}

PdfRenderer::Page MuPdfRenderer::render(const Loaded& loaded, double scale, const Encoder& encode) const
{
    Page page;
    page.index = loaded.index;
    const double w = double(loaded.bounds.x1 - loaded.bounds.x0);
    const double h = double(loaded.bounds.y1 - loaded.bounds.y0);
    page.points = QSizeF(w, h);
    fz_context* ctx = fz_clone_context(m_ctx);
    if (!ctx) {
        return page;
    }
    silence(ctx);
    if (loaded.list && w > 0 && h > 0) {
        const double fit = std::min(1.0, std::sqrt(maxPixels / (w * scale * h * scale)));
        const int width = std::max(1, int(w * scale * fit));
        const int height = std::max(1, int(h * scale * fit));
        page.pixels = QSize(width, height);
        if (fz_pixmap* pixmap = renderList(ctx, loaded.list, loaded.bounds, width, height)) {
            page.encoded = encode({fz_pixmap_samples(ctx, pixmap), width, height, fz_pixmap_stride(ctx, pixmap)});
            fz_drop_pixmap(ctx, pixmap);
        }
    }
    fz_drop_display_list(ctx, loaded.list);
    fz_drop_context(ctx);
    return page;
}

bool MuPdfRenderer::renderPages(double scale, const Encoder& encode, const Sink& sink)
{
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(1, QThread::idealThreadCount()));
    // Two pages per worker keeps every core busy while this thread reads the next page.
    const size_t window = size_t(pool.maxThreadCount()) * 2;
    std::deque<QFuture<Page>> inFlight;
    bool going = true;
    auto deliverFirst = [&] {
        const Page page = inFlight.front().result();
        inFlight.pop_front();
        going = going && sink(page);
    };
    for (int i = 0; i < m_pageCount && going; ++i) {
        Loaded loaded;
        loaded.index = i;
        loaded.list = loadPage(m_ctx, m_doc, i, &loaded.bounds);
        inFlight.push_back(
            QtConcurrent::run(&pool, [this, loaded, scale, &encode] { return render(loaded, scale, encode); }));
        while (inFlight.size() >= window) {
            deliverFirst();
        }
    }
    while (!inFlight.empty()) {
        deliverFirst();
    }
    return going;
}

} // namespace

std::unique_ptr<PdfRenderer> PdfRenderer::open(const QString& path)
{
    auto renderer = std::make_unique<MuPdfRenderer>();
    if (!renderer->open(path)) {
        return nullptr;
    }
    return renderer;
}
