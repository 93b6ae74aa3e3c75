#include "Format.h"

#include <QDate>
#include <QLocale>
#include <algorithm>
#include <cmath>

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

} // namespace Format
