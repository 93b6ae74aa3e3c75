#include "BaseLog.h"

Q_LOGGING_CATEGORY(lcBase, "trellick.base", QtInfoMsg)
