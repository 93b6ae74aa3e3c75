#pragma once

#include <QString>

namespace DesktopEntry {

// Whether file managers list this program under Open With: its desktop entry is installed in the data
// folder beside the executable's bin folder, and that is a folder the desktop reads entries from (one of
// the XDG data folders). False when running from a build tree.
bool offeredInOpenWith();
// The same for the entry under `dataFolder`/applications (the "share" folder of an install).
bool offeredInOpenWith(const QString& dataFolder);

} // namespace DesktopEntry
