#include "ImageSurvey.h"

#include <cmath>
#include <optional>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <vector>

// Only areas matter here, so the graphics state is followed as the determinant of the current
// transformation matrix: the area an image's unit square covers on the page.

namespace {

// A picture covering this share of its page makes it a picture page.
constexpr double fullPage = 0.8;
// Forms drawn inside forms deeper than this are not followed.
constexpr int maxDepth = 12;
// Content tokens read over the whole document at most. Hostile content that draws a form from a form
// thousands of times over ends the survey here, and then no picture is changed.
constexpr long long maxTokens = 30'000'000;

// What one content stream draws, in its own coordinates.
struct Drawing
{
    std::map<QPDFObjGen, double> images; // largest area per image XObject
    double largestPicture = 0; // of any picture, inline ones included
    bool text = false;
};

double determinant(QPDFObjectHandle matrix)
{
    if (!matrix.isArray() || matrix.getArrayNItems() != 6) {
        return 1.0; // a form's default matrix is the identity
    }
    double m[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!matrix.getArrayItem(i).getValueAsNumber(m[i])) {
            return 1.0;
        }
    }
    return m[0] * m[3] - m[1] * m[2];
}

void keepLarger(std::map<QPDFObjGen, double>& areas, QPDFObjGen id, double area)
{
    double& known = areas[id];
    known = std::max(known, area);
}

class Surveyor;

class ContentReader : public QPDFObjectHandle::ParserCallbacks
{
public:
    ContentReader(Surveyor& surveyor, QPDFObjectHandle resources, int depth)
        : m_surveyor(surveyor)
        , m_resources(std::move(resources))
        , m_depth(depth)
    {
    }

    void handleObject(QPDFObjectHandle object) override;
    void handleEOF() override { }

    Drawing drawing;
    bool readable = true;

private:
    void drawXObject();

    Surveyor& m_surveyor;
    QPDFObjectHandle m_resources;
    int m_depth;
    std::vector<QPDFObjectHandle> m_operands;
    std::vector<double> m_saved;
    double m_det = 1.0;
};

class Surveyor
{
public:
    explicit Surveyor(QPDF& pdf)
        : m_pdf(pdf)
    {
    }

    ImageSurvey run();

    // What a form draws; forms with resources of their own are read once.
    Drawing form(QPDFObjectHandle form, const QPDFObjectHandle& outerResources, int depth);
    bool spend() { return ++m_tokens <= maxTokens; }

private:
    // Reads one page or form; null when its content could not be read whole.
    std::optional<Drawing> read(QPDFObjectHandle holder, const QPDFObjectHandle& resources, int depth);
    void markUnsure(QPDFObjectHandle resources, std::set<QPDFObjGen>& seen);
    // An annotation's appearance may be a form that the page draws too, at another size.
    void markAppearances(QPDFObjectHandle appearances);

    QPDF& m_pdf;
    std::map<QPDFObjGen, Drawing> m_forms;
    std::set<QPDFObjGen> m_open; // forms being read: one that draws itself is not followed
    std::set<QPDFObjGen> m_holders; // pages and forms whose content was read
    long long m_tokens = 0;
    ImageSurvey m_survey;
};

void ContentReader::handleObject(QPDFObjectHandle object)
{
    if (!m_surveyor.spend()) {
        readable = false;
        terminateParsing();
    }
    if (object.isInlineImage()) {
        drawing.largestPicture = std::max(drawing.largestPicture, std::abs(m_det));
        return;
    }
    if (!object.isOperator()) {
        m_operands.push_back(object);
        return;
    }
    const std::string op = object.getOperatorValue();
    if (op == "q") {
        m_saved.push_back(m_det);
    } else if (op == "Q") {
        if (!m_saved.empty()) { // viewers ignore an unbalanced Q
            m_det = m_saved.back();
            m_saved.pop_back();
        }
    } else if (op == "cm") {
        double m[6] = {};
        bool numbers = m_operands.size() == 6;
        for (size_t i = 0; numbers && i < 6; ++i) {
            numbers = m_operands[i].getValueAsNumber(m[i]);
        }
        if (!numbers) {
            readable = false; // the sizes that follow are unknown
        }
        m_det *= m[0] * m[3] - m[1] * m[2];
    } else if (op == "Do") {
        drawXObject();
    } else if (op == "Tj" || op == "TJ" || op == "'" || op == "\"") {
        drawing.text = true;
    }
    m_operands.clear();
}

void ContentReader::drawXObject()
{
    if (m_operands.size() != 1 || !m_operands[0].isName() || !m_resources.isDictionary()) {
        return;
    }
    QPDFObjectHandle xobjects = m_resources.getKey("/XObject");
    QPDFObjectHandle xobject = xobjects.isDictionary() ? xobjects.getKey(m_operands[0].getName()) : xobjects;
    if (!xobject.isStream()) {
        return; // a missing name draws nothing
    }
    const std::string subtype
        = xobject.getDict().getKey("/Subtype").isName() ? xobject.getDict().getKey("/Subtype").getName() : "";
    const double area = std::abs(m_det);
    if (subtype == "/Image") {
        keepLarger(drawing.images, xobject.getObjGen(), area);
        drawing.largestPicture = std::max(drawing.largestPicture, area);
    } else if (subtype == "/Form") {
        const Drawing inner = m_surveyor.form(xobject, m_resources, m_depth + 1);
        const double scale = area * std::abs(determinant(xobject.getDict().getKey("/Matrix")));
        for (const auto& [id, innerArea] : inner.images) {
            keepLarger(drawing.images, id, innerArea * scale);
        }
        drawing.largestPicture = std::max(drawing.largestPicture, inner.largestPicture * scale);
        drawing.text = drawing.text || inner.text;
    }
}

std::optional<Drawing> Surveyor::read(QPDFObjectHandle holder, const QPDFObjectHandle& resources, int depth)
{
    m_holders.insert(holder.getObjGen());
    ContentReader reader(*this, resources, depth);
    try {
        QPDFPageObjectHelper(holder).parseContents(&reader);
    } catch (const std::exception&) {
        reader.readable = false;
    }
    if (!reader.readable) {
        std::set<QPDFObjGen> seen;
        markUnsure(resources, seen);
        return std::nullopt;
    }
    return reader.drawing;
}

Drawing Surveyor::form(QPDFObjectHandle form, const QPDFObjectHandle& outerResources, int depth)
{
    const QPDFObjGen id = form.getObjGen();
    QPDFObjectHandle own = form.getDict().getKey("/Resources");
    // Old files leave a form's resources out; it then uses those of the content that draws it.
    const QPDFObjectHandle resources = own.isDictionary() ? own : outerResources;
    if (depth > maxDepth || m_open.count(id)) {
        std::set<QPDFObjGen> seen;
        markUnsure(resources, seen);
        return {};
    }
    if (own.isDictionary()) {
        if (const auto known = m_forms.find(id); known != m_forms.end()) {
            return known->second;
        }
    }
    m_open.insert(id);
    const Drawing drawing = read(form, resources, depth).value_or(Drawing{});
    m_open.erase(id);
    if (own.isDictionary()) {
        m_forms[id] = drawing;
    }
    return drawing;
}

void Surveyor::markUnsure(QPDFObjectHandle resources, std::set<QPDFObjGen>& seen)
{
    QPDFObjectHandle xobjects = resources.isDictionary() ? resources.getKey("/XObject") : resources;
    if (!xobjects.isDictionary()) {
        return;
    }
    for (auto& [name, xobject] : xobjects.ditems()) {
        if (!xobject.isStream() || !seen.insert(xobject.getObjGen()).second) {
            continue;
        }
        QPDFObjectHandle subtype = xobject.getDict().getKey("/Subtype");
        if (subtype.isNameAndEquals("/Image")) {
            m_survey.unsure.insert(xobject.getObjGen());
        } else if (subtype.isNameAndEquals("/Form")) {
            markUnsure(xobject.getDict().getKey("/Resources"), seen);
        }
    }
}

void Surveyor::markAppearances(QPDFObjectHandle appearances)
{
    if (!appearances.isDictionary()) {
        return;
    }
    for (auto& [kind, appearance] : appearances.ditems()) {
        // Each kind is one appearance stream, or several by state.
        std::vector<QPDFObjectHandle> streams;
        if (appearance.isStream()) {
            streams.push_back(appearance);
        } else if (appearance.isDictionary()) {
            for (auto& [state, stream] : appearance.ditems()) {
                streams.push_back(stream);
            }
        }
        for (QPDFObjectHandle& stream : streams) {
            std::set<QPDFObjGen> seen;
            markUnsure(stream.isStream() ? stream.getDict().getKey("/Resources") : QPDFObjectHandle::newNull(), seen);
        }
    }
}

ImageSurvey Surveyor::run()
{
    const std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(m_pdf).getAllPages();
    bool imageOnly = !pages.empty();
    for (QPDFPageObjectHelper page : pages) {
        for (QPDFAnnotationObjectHelper annotation : page.getAnnotations()) {
            markAppearances(annotation.getAppearanceDictionary());
        }
        QPDFObjectHandle resources = page.getAttribute("/Resources", false);
        QPDFObjectHandle xobjects = resources.isDictionary() ? resources.getKey("/XObject") : resources;
        if (!xobjects.isDictionary() || xobjects.getKeys().empty()) {
            m_holders.insert(page.getObjectHandle().getObjGen());
            imageOnly = false; // nothing drawn by name: no page-sized picture either
            continue;
        }
        const std::optional<Drawing> drawing = read(page.getObjectHandle(), resources, 0);
        if (m_tokens > maxTokens) {
            return {};
        }
        if (!drawing) {
            imageOnly = false;
            continue;
        }
        QPDFObjectHandle unit = page.getObjectHandle().getKey("/UserUnit");
        const double userUnit = unit.isNumber() && unit.getNumericValue() > 0 ? unit.getNumericValue() : 1.0;
        for (const auto& [id, area] : drawing->images) {
            keepLarger(m_survey.largestArea, id, area * userUnit * userUnit);
        }
        const QPDFObjectHandle::Rectangle box = page.getCropBox(false, false).getArrayAsRectangle();
        const double pageArea = std::abs((box.urx - box.llx) * (box.ury - box.lly));
        imageOnly = imageOnly && !drawing->text && page.getAnnotations().empty()
            && drawing->largestPicture >= fullPage * pageArea;
    }
    m_survey.imageOnly = imageOnly;

    // Anything else with resources of its own draws what they name at sizes not read here.
    for (QPDFObjectHandle object : m_pdf.getAllObjects()) {
        QPDFObjectHandle dict = object.isStream() ? object.getDict() : object;
        if (!dict.isDictionary() || m_holders.count(object.getObjGen())
            || dict.getKey("/Type").isNameAndEquals("/Pages")) {
            continue;
        }
        std::set<QPDFObjGen> seen;
        markUnsure(dict.getKey("/Resources"), seen);
    }

    // A soft mask covers the same area as its image, and follows it when the image is left alone.
    const std::map<QPDFObjGen, double> images = m_survey.largestArea;
    for (const auto& [id, area] : images) {
        QPDFObjectHandle mask = m_pdf.getObject(id).getDict().getKey("/SMask");
        if (mask.isStream()) {
            m_survey.softMasks.insert(mask.getObjGen());
            keepLarger(m_survey.largestArea, mask.getObjGen(), area);
            if (m_survey.unsure.count(id)) {
                m_survey.unsure.insert(mask.getObjGen());
            }
        }
    }
    return m_survey;
}

} // namespace

ImageSurvey surveyImages(QPDF& pdf)
{
    return Surveyor(pdf).run();
}
