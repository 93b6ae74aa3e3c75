#pragma once

#include <QString>

namespace Format {

// Seconds as "m:ss" below an hour and "h:mm:ss" from an hour on; "0:00" for anything not finite or negative.
QString time(double seconds);
// Decimal units, with the precision a file manager shows: "12 bytes", "345 kB", "1.2 MB", "3.45 GB".
QString size(qint64 bytes);
// "2.5 Mbit/s" from a million bits per second up, else whole "kbit/s".
QString bitrate(qint64 bitsPerSecond);
// Today's date as yyyy-MM-dd, independent of the user's locale.
QString today();
// The text as a POSIX shell word, for showing exact commands: unchanged when every character is
// shell-safe, otherwise in single quotes with each inner quote written as '\''.
QString shellQuote(const QString& text);

} // namespace Format
