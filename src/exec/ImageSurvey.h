#pragma once

#include <map>
#include <qpdf/QPDF.hh>
#include <set>

// Where a PDF's pictures are drawn, read from the page content streams (and the forms they draw) without
// rendering anything.
struct ImageSurvey
{
    // The largest area each image XObject is drawn over, in square points; an image drawn several times
    // counts its largest use. Soft masks count the largest use of the images they belong to.
    std::map<QPDFObjGen, double> largestArea;
    // Images also drawn where their size is not known here (annotation appearances, patterns, glyphs,
    // content that could not be read): they must be left as they are.
    std::set<QPDFObjGen> unsure;
    // The images that are soft masks of others.
    std::set<QPDFObjGen> softMasks;
    // Every page shows no text and no annotations, and one picture covers most of it: a scan or a photo
    // book, where re-rendering the whole page may give the smaller file.
    bool imageOnly = false;
};

ImageSurvey surveyImages(QPDF& pdf);
