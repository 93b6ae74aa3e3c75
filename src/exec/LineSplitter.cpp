#include "LineSplitter.h"

#include "base/ProcessUtil.h"

QStringList LineSplitter::feed(const QByteArray& chunk)
{
    const QString text = ProcessUtil::strictUtf8(chunk);
    const QMutexLocker locker(&m_lock);
    m_buffer += text;
    QStringList lines = m_buffer.split(QLatin1Char('\n'));
    m_buffer = lines.takeLast();
    return lines;
}
