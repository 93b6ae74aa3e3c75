#include "NameText.h"

#include <QList>

namespace NameText {

QString withoutControls(const QString& text)
{
    QString out;
    const QList<uint> points = text.toUcs4();
    for (const uint point : points) {
        const QChar::Category category = QChar::category(char32_t(point));
        if (category == QChar::Other_Control || category == QChar::Other_Format) {
            continue;
        }
        out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&point), 1);
    }
    return out;
}

} // namespace NameText
