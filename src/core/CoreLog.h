#pragma once

#include <QLoggingCategory>

// "trellick.core": what the application state drops on purpose (paths that are gone, answers and facts that
// arrive too late). Off by default; QT_LOGGING_RULES="trellick.core.debug=true" shows it.
Q_DECLARE_LOGGING_CATEGORY(lcCore)
