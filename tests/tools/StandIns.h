#pragma once

#include "base/ProcResult.h"

#include <QString>
#include <QStringList>

// Runs the built stand-ins and the independent tools that check what they wrote.
namespace StandIns {

// The built program `name`, beside the test programs.
QString path(const QString& name);
// Runs a stand-in to completion.
ProcResult run(const QString& name, const QStringList& args);
// A stand-in's refusal: a failure status and one line of error that starts with `prefix` and holds `words`.
bool refused(const ProcResult& result, const QString& prefix, const QString& words);
// Runs a system program and returns its standard output, trimmed; empty when it failed.
QString output(const QString& program, const QStringList& args);

} // namespace StandIns
