#pragma once

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
    QString source; // the reader that produced the facts, or empty

    bool operator==(const MediaFacts&) const = default;
};

Q_DECLARE_METATYPE(MediaFacts)
