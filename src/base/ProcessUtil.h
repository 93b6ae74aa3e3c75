#pragma once

#include <QByteArray>
#include <QString>

namespace ProcessUtil {

// Decodes a child's output as UTF-8 strictly: invalid input gives an empty text rather than replacement
// characters.
QString strictUtf8(const QByteArray& bytes);

} // namespace ProcessUtil
