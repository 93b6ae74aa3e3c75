#pragma once

#include <QUrl>

// The desktop's own handlers for addresses and files.
namespace Desktop {

// Opens `url` with the user's default application (a web address in the default browser). Tests answer
// it with QDesktopServices::setUrlHandler.
void openUrl(const QUrl& url);

} // namespace Desktop
