#pragma once

#include <QList>
#include <QMetaType>
#include <QStringList>
#include <optional>

// One step of a plan as the model wrote it: placeholders instead of paths, nothing checked yet.
struct RawStep
{
    QString program;
    QStringList args;
    QString output;
    QString summary;
    bool isFolder = false; // never read from JSON: only the application's own plans produce folders

    bool operator==(const RawStep&) const = default;
};

// One option of a plan as the model wrote it; also the form kept in the history file.
struct RawOption
{
    QString label;
    QString summary;
    QStringList warnings;
    std::optional<double> resultSeconds;
    QList<RawStep> steps;

    bool operator==(const RawOption&) const = default;
};

Q_DECLARE_METATYPE(RawOption)
