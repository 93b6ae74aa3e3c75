#include "PlatformLog.h"

Q_LOGGING_CATEGORY(lcPlatform, "trellick.platform", QtInfoMsg)
