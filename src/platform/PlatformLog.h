#pragma once

#include <QLoggingCategory>

// "trellick.platform": what the operating-system layer drops or decides quietly. Off by default;
// QT_LOGGING_RULES="trellick.platform.debug=true" shows it.
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
