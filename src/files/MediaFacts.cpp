#include "MediaFacts.h"

#include "Format.h"

#include <cmath>

using namespace Qt::StringLiterals;

QList<FactLine> MediaFacts::lines() const
{
    QList<FactLine> lines;
    const auto add = [&lines](const QString& label, const QString& value) {
        lines.append({QUuid::createUuid(), label, value});
    };
    if (duration) {
        add(u"Duration"_s, Format::time(*duration));
    }
    if (width && height) {
        add(u"Resolution"_s, QString::number(*width) + u" × "_s + QString::number(*height));
    }
    if (videoCodec) {
        add(u"Video codec"_s, *videoCodec);
    }
    if (frameRate) {
        add(u"Frame rate"_s, *frameRate);
    }
    if (audioCodec) {
        add(u"Audio codec"_s, *audioCodec);
    }
    if (sampleRate) {
        add(u"Sample rate"_s, *sampleRate);
    }
    if (bitRate) {
        add(u"Bit rate"_s, Format::bitrate(*bitRate));
    }
    if (pages) {
        add(u"Pages"_s, QString::number(*pages));
    }
    return lines;
}

std::optional<QString> MediaFacts::frameRateText(const QString& rational)
{
    const QStringList parts = rational.split(u'/', Qt::SkipEmptyParts);
    if (parts.size() != 2) {
        return std::nullopt;
    }
    bool numOk = false;
    bool denOk = false;
    const double num = parts[0].toDouble(&numOk);
    const double den = parts[1].toDouble(&denOk);
    if (!numOk || !denOk || den == 0) {
        return std::nullopt;
    }
    // A finite quotient only: "1e308/1e-308" would otherwise print as "inf fps".
    const double rate = num / den;
    if (!std::isfinite(rate) || rate <= 0) {
        return std::nullopt;
    }
    return QString::asprintf("%.2f fps", rate);
}

QString MediaFacts::fourCC(quint32 code)
{
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto byte = static_cast<char16_t>((code >> shift) & 0xff);
        // Control characters are ASCII too, but a NUL or an escape in a codec name is never a real code.
        if (byte < 0x20 || byte > 0x7e) {
            return u"unknown"_s;
        }
        text.append(QChar(byte));
    }
    text = text.trimmed();
    return text.isEmpty() ? u"unknown"_s : text;
}
