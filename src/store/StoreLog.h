#pragma once

#include <QLoggingCategory>

// "trellick.store": history writes that did not reach the disk. Off by default;
// QT_LOGGING_RULES="trellick.store.debug=true" shows it.
Q_DECLARE_LOGGING_CATEGORY(lcStore)
