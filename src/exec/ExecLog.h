#pragma once

#include <QLoggingCategory>

// "trellick.exec": what the runner and the installer drop on purpose. Off by default;
// QT_LOGGING_RULES="trellick.exec.debug=true" shows it.
Q_DECLARE_LOGGING_CATEGORY(lcExec)
