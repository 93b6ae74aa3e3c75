#pragma once

#include <QLoggingCategory>

// "trellick.base": folders that could not be made. Off by default; QT_LOGGING_RULES="trellick.base.debug=true"
// shows it.
Q_DECLARE_LOGGING_CATEGORY(lcBase)
