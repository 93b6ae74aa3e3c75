#pragma once

#include "NativeJob.h"
#include "RawOption.h"

#include <QList>
#include <QMetaType>
#include <QStringList>
#include <QUuid>
#include <optional>

// A checked step, ready to run: real paths in place of the placeholders and the exact command shown to the user.
struct ResolvedStep
{
    QUuid id;
    QString summary;
    std::optional<QString> executable; // absent for native jobs
    QStringList args;
    // The files and folders the step reads (the chosen input, an earlier step's result): its sandbox lets
    // it read these and nothing else of the user's.
    QStringList inputs;
    std::optional<QString> cwd;
    QString outputPath;
    bool outputIsFolder = false;
    bool isFinal = false;
    bool needsFFmpeg = false;
    std::optional<NativeJob> native;
    QString displayCommand;

    bool operator==(const ResolvedStep&) const = default;
};

// A checked option of a plan: what the review screen shows and the runner carries out.
struct ResolvedOption
{
    QUuid id;
    QString label;
    QString summary;
    QStringList warnings;
    std::optional<double> resultSeconds;
    QList<ResolvedStep> steps;
    std::optional<QString> tempDir; // the plan's private scratch folder, deleted after the run
    std::optional<RawOption> raw; // the option as received, kept for the history

    // Every step's display command, one a line.
    QString commandText() const;
    // The outputs of the final steps, in step order.
    QStringList finalOutputs() const;

    bool operator==(const ResolvedOption&) const = default;
};

Q_DECLARE_METATYPE(ResolvedOption)
