#pragma once

#include <QList>
#include <QRectF>
#include <QString>

// Small real PDFs written at test time: one line of text (a standard font, so it can be selected and
// searched) and a coloured square per page.
namespace TestPdf {

struct Page
{
    QRectF mediaBox{0, 0, 612, 792}; // in points; the origin need not be 0, 0
    int rotate = 0;
    int linkTo = -1; // zero-based page that a link annotation on this page points at
};

// `text` of each page is "Page " + its one-based number. With `brokenXref` every offset in the
// cross-reference table is wrong, as after a careless edit.
QString write(const QString& path, const QList<Page>& pages, bool brokenXref = false);
// `count` letter-sized pages.
QString write(const QString& path, int count);

} // namespace TestPdf
