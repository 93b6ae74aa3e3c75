#pragma once

#include <QList>
#include <QString>
#include <variant>

// Steps done inside the application rather than by a command-line tool.
namespace NativeJobs {

struct Copy
{
    QString from;
    QString to;
    bool operator==(const Copy&) const = default;
};

struct Move
{
    QString from;
    QString to;
    bool operator==(const Move&) const = default;
};

struct PdfExtract
{
    QString src;
    QList<int> pages; // zero-based page indices
    QString dest;
    bool operator==(const PdfExtract&) const = default;
};

struct PdfMerge
{
    QList<QString> sources;
    QString dest;
    bool operator==(const PdfMerge&) const = default;
};

struct PdfShrink
{
    QString src;
    QString dest;
    bool operator==(const PdfShrink&) const = default;
};

struct PdfImages
{
    QString src;
    QString destDir; // an existing folder
    bool operator==(const PdfImages&) const = default;
};

} // namespace NativeJobs

using NativeJob = std::variant<NativeJobs::Copy, NativeJobs::Move, NativeJobs::PdfExtract, NativeJobs::PdfMerge,
                               NativeJobs::PdfShrink, NativeJobs::PdfImages>;
