#include "Format.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <memory>
#include <unicode/udat.h>
#include <unicode/udatpg.h>

namespace Format {

QString time(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0) {
        return QStringLiteral("0:00");
    }
    // std::round takes halves away from zero; the cap keeps absurd values inside a 64-bit count.
    const auto total = static_cast<qint64>(std::round(std::min(seconds, 1e15)));
    const qint64 h = total / 3600;
    const qint64 m = (total % 3600) / 60;
    const qint64 s = total % 60;
    if (h == 0) {
        return QString::asprintf("%lld:%02lld", m, s);
    }
    return QString::asprintf("%lld:%02lld:%02lld", h, m, s);
}

QString size(qint64 bytes)
{
    const int precision = bytes < 1'000'000 ? 0 : bytes < 1'000'000'000 ? 1 : 2;
    return QLocale().formattedDataSize(bytes, precision, QLocale::DataSizeSIFormat);
}

QString bitrate(qint64 bitsPerSecond)
{
    if (bitsPerSecond >= 1'000'000) {
        return QString::asprintf("%.1f Mbit/s", static_cast<double>(bitsPerSecond) / 1'000'000.0);
    }
    return QString::number(bitsPerSecond / 1000) + QStringLiteral(" kbit/s");
}

QString today()
{
    // QDate::toString with a format string always uses the C locale's digits and no localized names.
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
}

QString dateAndTime(const QDateTime& time, const QLocale& locale)
{
    // Qt's locale data has no abbreviated date and gives seconds with every time in some locales; ICU, which Qt
    // itself loads, turns the skeleton "day, abbreviated month, year, hour and minute" into each locale's
    // own pattern and hour cycle.
    const QByteArray id = locale.language() == QLocale::C
        ? QByteArrayLiteral("en_US_POSIX")
        : (QLocale::languageToCode(locale.language()) + u'_' + QLocale::scriptToCode(locale.script()) + u'_'
           + QLocale::territoryToCode(locale.territory()))
              .toLatin1();
    const std::u16string zone = QString::fromLatin1(time.timeZone().id()).toStdU16String();
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UDateTimePatternGenerator, decltype(&udatpg_close)> patterns(
        udatpg_open(id.constData(), &status), &udatpg_close);
    char16_t pattern[64];
    const int32_t length = udatpg_getBestPattern(patterns.get(), u"yMMMdjmm", -1, pattern, 64, &status);
    const std::unique_ptr<UDateFormat, decltype(&udat_close)> format(
        udat_open(UDAT_PATTERN, UDAT_PATTERN, id.constData(), zone.data(), int32_t(zone.size()), pattern, length,
                  &status),
        &udat_close);
    char16_t text[128];
    const int32_t written = udat_format(format.get(), UDate(time.toMSecsSinceEpoch()), text, 128, nullptr, &status);
    if (U_FAILURE(status)) {
        return time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    }
    return QString::fromUtf16(text, written);
}

QString plural(qsizetype count, const QString& word)
{
    return QString::number(count) + QLatin1Char(' ') + word + (count == 1 ? QString() : QStringLiteral("s"));
}

QString shellQuote(const QString& text)
{
    static const QString safe
        = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_@%+=:,./-");
    const bool plain
        = !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return safe.contains(c); });
    if (plain) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString homeRelative(const QString& path)
{
    const QString home = QDir::homePath();
    if (path == home) {
        return QStringLiteral("~");
    }
    if (path.startsWith(home + QLatin1Char('/'))) {
        return QLatin1Char('~') + path.mid(home.size());
    }
    return path;
}

} // namespace Format
