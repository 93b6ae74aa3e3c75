#pragma once

#include <QByteArray>
#include <QMutex>
#include <QStringList>

// Turns chunks of a child's output into whole lines, carrying an unfinished last line to the next chunk.
class LineSplitter
{
public:
    // The complete lines the chunk finishes. A chunk that is not valid UTF-8 contributes nothing.
    QStringList feed(const QByteArray& chunk);

private:
    QMutex m_lock;
    QString m_buffer;
};
