#pragma once

#include <QString>

namespace NameText {

// The text without characters of the control (Cc) and format (Cf) classes, the latter including
// direction overrides that would make a name read differently from what it is.
QString withoutControls(const QString& text);

} // namespace NameText
