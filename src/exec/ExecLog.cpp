#include "ExecLog.h"

Q_LOGGING_CATEGORY(lcExec, "trellick.exec", QtInfoMsg)
