#include "TestPdf.h"

#include "TestFiles.h"

namespace TestPdf {

namespace {

QByteArray num(double value)
{
    return QByteArray::number(value, 'g', 10);
}

} // namespace

QString write(const QString& path, const QList<Page>& pages, bool brokenXref)
{
    // Objects: 1 catalog, 2 page tree, 3 font, then a page and its content stream per page.
    const auto pageId = [](qsizetype i) { return 4 + 2 * i; };
    QList<QByteArray> objects;
    QByteArray kids;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        kids += QByteArray::number(pageId(i)) + " 0 R ";
    }
    objects << "<< /Type /Catalog /Pages 2 0 R >>";
    objects << "<< /Type /Pages /Count " + QByteArray::number(pages.size()) + " /Kids [" + kids + "] >>";
    objects << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const Page& page = pages.at(i);
        const QRectF box = page.mediaBox;
        const QByteArray boxText
            = "[" + num(box.left()) + " " + num(box.top()) + " " + num(box.right()) + " " + num(box.bottom()) + "]";
        QByteArray dict = "<< /Type /Page /Parent 2 0 R /MediaBox " + boxText
            + " /Resources << /Font << /F1 3 0 R >> >> /Contents " + QByteArray::number(pageId(i) + 1) + " 0 R";
        if (page.rotate != 0) {
            dict += " /Rotate " + QByteArray::number(page.rotate);
        }
        if (page.linkTo >= 0) {
            dict += " /Annots [<< /Type /Annot /Subtype /Link /Border [0 0 0] /Rect [" + num(box.left() + 72) + " "
                + num(box.top() + 72) + " " + num(box.left() + 272) + " " + num(box.top() + 112) + "] /Dest ["
                + QByteArray::number(pageId(page.linkTo)) + " 0 R /Fit] >>]";
        }
        objects << dict + " >>";
        const QByteArray content = "0.2 0.4 0.8 rg " + num(box.left() + 50) + " " + num(box.top() + 50)
            + " 100 100 re f BT /F1 24 Tf " + num(box.left() + 72) + " " + num(box.bottom() - 72) + " Td (Page "
            + QByteArray::number(i + 1) + ") Tj ET";
        objects << "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream";
    }
    QByteArray pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets) {
        pdf += QByteArray::number(brokenXref ? offset + 7 : offset).rightJustified(10, '0') + " 00000 n \n";
    }
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
        + QByteArray::number(xref) + "\n%%EOF\n";
    return TestFiles::write(path, pdf);
}

QString write(const QString& path, int count)
{
    return write(path, QList<Page>(count));
}

} // namespace TestPdf
