#include "CoreLog.h"

Q_LOGGING_CATEGORY(lcCore, "trellick.core", QtInfoMsg)
