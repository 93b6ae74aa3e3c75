#pragma once

#include <QString>

// The folders the application keeps for itself. Every getter creates its folder when read, so callers
// never have to; a failure to create is ignored and shows up later as a failed write.
namespace AppPaths {

QString supportDir();
QString binDir();
QString fallbackOutputDir();

} // namespace AppPaths
