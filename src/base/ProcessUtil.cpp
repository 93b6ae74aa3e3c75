#include "ProcessUtil.h"

#include <QStringDecoder>

namespace ProcessUtil {

QString strictUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

} // namespace ProcessUtil
