#include "AILog.h"

Q_LOGGING_CATEGORY(lcAI, "trellick.ai", QtInfoMsg)
