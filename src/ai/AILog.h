#pragma once

#include <QLoggingCategory>

// "trellick.ai": requests the sign-in listener answers without using. Off by default;
// QT_LOGGING_RULES="trellick.ai.debug=true" shows it.
Q_DECLARE_LOGGING_CATEGORY(lcAI)
