#pragma once

#include <QLoggingCategory>

// "trellick.ui": what the window ignores on purpose (dropped addresses that are no local files, symbols with
// no picture). Off by default; QT_LOGGING_RULES="trellick.ui.debug=true" shows it.
Q_DECLARE_LOGGING_CATEGORY(lcUi)
