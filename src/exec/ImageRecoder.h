#pragma once

#include <qpdf/QPDFObjectHandle.hh>

// Makes one image XObject of a PDF smaller in place. Pictures stored at more than `density` pixels per
// point of the largest area they are drawn over are scaled down to it; photographs are stored as JPEG of
// `quality` (0...1), line art, pictures of few colours and soft masks losslessly. The image is left as it
// is when it would not get smaller, or when it is of a kind whose colours could come out wrong (CMYK,
// indexed and other colour spaces, decode arrays, colour-key masks, JPEG 2000, fax and JBIG2 data) or
// whose decoded size is beyond a sane bound.
namespace ImageRecoder {

struct Target
{
    double area = 0; // the largest area the image is drawn over, in square points
    bool softMask = false; // the image is another image's soft mask
};

// True when the image was replaced.
bool recode(QPDFObjectHandle image, const Target& target, double density, double quality);

} // namespace ImageRecoder
