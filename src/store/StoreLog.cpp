#include "StoreLog.h"

Q_LOGGING_CATEGORY(lcStore, "trellick.store", QtInfoMsg)
