#pragma once

#include "exec/RunOutcome.h"

#include <QList>
#include <QStringList>
#include <QTextStream>
#include <functional>

// One subcommand of trellick-dev: it gets the arguments after its name and returns the exit status.
struct DevCommand
{
    QString name;
    QString usage;
    std::function<int(const QStringList&)> run;
    bool needsWindow = false; // runs with a QApplication on a display instead of a core application
};

const QList<DevCommand>& devCommands();

// "Output: PATH", then its checked facts ("Facts: ...") and any "Warning: ...", for each new file.
void printChecked(QTextStream& out, const RunOutcome& outcome);

// The subcommands, one file each.
int devActions(const QStringList& args);
int devProbe(const QStringList& args);
int devSandbox(const QStringList& args);
int devPlanCheck(const QStringList& args);
int devScreenshots(const QStringList& args);
int devRunPlan(const QStringList& args);
int devAIModels(const QStringList& args);
int devDo(const QStringList& args);
int devAsk(const QStringList& args);
