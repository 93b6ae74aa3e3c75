#pragma once

#include <QList>
#include <QStringList>
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
