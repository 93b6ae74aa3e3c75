#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

// Reads an ffmpeg filter graph description (the value of -vf, -af, -filter, -filter_complex, -lavfi) the
// way libavfilter's graph parser does, quoting and escaping included, to learn which filters it names.
namespace FilterGraph {

struct Filter
{
    QString name; // the filter's name, without an "@instance" suffix
    QString options; // the text after "=", unescaped once, as the filter receives it
};

// The filters in order, or absent when ffmpeg would not be able to parse the description.
std::optional<QList<Filter>> parse(QStringView description);

// Whether a filter is on the allow-list of common filters that neither read nor write files nor load code.
bool isAllowed(const QString& name);

// ffmpeg 7 reads an option's value from a file when the option's name starts with "/".
bool loadsOptionFromFile(const QString& options);

} // namespace FilterGraph
