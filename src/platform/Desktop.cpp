#include "Desktop.h"

#include <QDesktopServices>

void Desktop::openUrl(const QUrl& url)
{
    // Whether a browser really came up cannot be known; the sign-in's own time limit covers that.
    QDesktopServices::openUrl(url);
}
