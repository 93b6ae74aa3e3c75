#include "Sentence.h"

QString asSentence(const QString& description)
{
    QString text = description.trimmed();
    if (text.isEmpty()) {
        return QStringLiteral("Something went wrong.");
    }
    text[0] = text[0].toUpper();
    if (!text.endsWith(u'.') && !text.endsWith(u'!') && !text.endsWith(u'?')) {
        text += u'.';
    }
    return text;
}
