#include "FilesLog.h"

Q_LOGGING_CATEGORY(lcFiles, "trellick.files", QtInfoMsg)
