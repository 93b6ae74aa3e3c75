#pragma once

#include "NameReserver.h"
#include "PlanError.h"
#include "RawOption.h"
#include "ResolvedOption.h"
#include "base/Result.h"

#include <QString>
#include <QStringList>
#include <optional>

// The safety boundary between what a model writes and what runs: checks one option against fixed
// allow-lists and turns it into steps with real paths, fresh output names and the exact command shown.
class PlanFactory
{
public:
    // Names a private scratch folder in the system temporary folder (it is not created here).
    PlanFactory();

    // AI answers and re-runs from the history use trusted false; the application's own actions true,
    // which also allows ditto and tar. Resolution never writes to disk.
    Result<ResolvedOption, PlanError> resolve(const RawOption& raw, const QString& input, bool trusted);

    // Where new files made from `input` go: beside it when its folder takes files, else the application's
    // own output folder.
    static QString outputFolder(const QString& input);

    QString tempDir() const;
    NameReserver& reserver();

    struct OutputName
    {
        QString base;
        QString ext; // lower-case, empty for a folder
        bool operator==(const OutputName&) const = default;
    };
    // Cleans a proposed output name and checks its file type; step is the 1-based step number.
    static Result<OutputName, PlanError> splitOutput(const QString& name, const QString& fallbackBase, bool folder,
                                                     int step);
    // Checks a step's arguments for its (trimmed, lower-cased) program; for ffmpeg the result starts
    // with the safety options it lacked.
    static Result<QStringList, PlanError> checkArgs(const QStringList& args, const QString& program, int step);
    // The rules every argument of every program must pass; absent when the argument is acceptable.
    static Result<void, PlanError> checkGeneric(const QString& argument, int step);

private:
    QString m_tempDir;
    NameReserver m_reserver;
};
