#pragma once

#include <QLocale>
#include <QString>

class QDateTime;

namespace Format {

// Seconds as "m:ss" below an hour and "h:mm:ss" from an hour on; "0:00" for anything not finite or negative.
QString time(double seconds);
// Decimal units, with the precision a file manager shows: "12 bytes", "345 kB", "1.2 MB", "3.45 GB".
QString size(qint64 bytes);
// "2.5 Mbit/s" from a million bits per second up, else whole "kbit/s".
QString bitrate(qint64 bitsPerSecond);
// "1 PDF", "2 PDFs": the count and the word, with an "s" unless the count is one.
QString plural(qsizetype count, const QString& word);
// Today's date as yyyy-MM-dd, independent of the user's locale.
QString today();
// An abbreviated date with the time in hours and minutes, as the locale writes them ("Mar 14, 2026, 3:09 PM",
// "14. März 2026, 15:09"), in the time's own time zone.
QString dateAndTime(const QDateTime& time, const QLocale& locale = QLocale());
// The text as a POSIX shell word, for showing exact commands: unchanged when every character is
// shell-safe, otherwise in single quotes with each inner quote written as '\''.
QString shellQuote(const QString& text);
// A path as a person writes it: "~/..." inside the home folder, else unchanged.
QString homeRelative(const QString& path);

} // namespace Format
