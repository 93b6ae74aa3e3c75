#pragma once

#include "FactLine.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>

// Technical facts read from a file; an absent field is a fact that is not known.
struct MediaFacts
{
    std::optional<double> duration;
    std::optional<int> width;
    std::optional<int> height;
    std::optional<QString> videoCodec;
    std::optional<QString> audioCodec;
    std::optional<qint64> bitRate;
    std::optional<QString> frameRate; // already formatted, "29.97 fps"
    std::optional<QString> sampleRate; // already formatted, "44100 Hz"
    std::optional<int> pages;
    bool fileList = false; // a playlist or other list of files, of which nothing was read
    QString source; // the reader that produced the facts, or empty

    bool operator==(const MediaFacts&) const = default;

    // The known facts as display lines, in a fixed order: Duration, Resolution, Video codec, Frame rate,
    // Audio codec, Sample rate, Bit rate, Pages.
    QList<FactLine> lines() const;

    // A rational rate such as "30000/1001" as "29.97 fps"; absent unless it is two numbers with a positive,
    // finite quotient.
    static std::optional<QString> frameRateText(const QString& rational);
    // A four-character code, most significant byte first, trimmed of spaces; "unknown" unless all four bytes
    // are printable ASCII.
    static QString fourCC(quint32 code);
};

Q_DECLARE_METATYPE(MediaFacts)
