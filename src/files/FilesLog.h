#pragma once

#include <QLoggingCategory>

// "trellick.files": what probing drops on purpose. Off by default; QT_LOGGING_RULES="trellick.files=true"
// shows it.
Q_DECLARE_LOGGING_CATEGORY(lcFiles)
