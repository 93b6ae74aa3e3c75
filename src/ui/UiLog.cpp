#include "UiLog.h"

Q_LOGGING_CATEGORY(lcUi, "trellick.ui", QtInfoMsg)
