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

// Whether a filter is allowed: one that reads and writes no file, reaches no network, loads no code and
// drives no other filter, or does so only through options that refusedOption refuses.
bool isAllowed(const QString& name);

enum class OptionFault {
    file, // an option that names a file to read or write
    unnamed, // a value without its option's name, which could land on such an option
    notAPlainName, // a file kept in the scratch folder, named other than as a plain file name
};

struct OptionRefusal
{
    OptionFault fault;
    QString text; // the option's name, or for the other faults the value as the filter sees it
};

// The first option of an allowed filter's options that could reach a file outside the step's scratch
// folder, if any.
std::optional<OptionRefusal> refusedOption(const Filter& filter);

// ffmpeg 7 reads an option's value from a file when the option's name starts with "/".
bool loadsOptionFromFile(const QString& options);

} // namespace FilterGraph
