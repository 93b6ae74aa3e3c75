#include "EventLoopWatch.h"

#include <QFile>
#include <ctime>

namespace {

qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// How long this thread has waited for a processor while ready to run (Linux scheduler statistics: the
// second field of schedstat, in nanoseconds); 0 where the kernel does not keep them.
qint64 threadReadyNs()
{
    QFile file(QStringLiteral("/proc/thread-self/schedstat"));
    if (!file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.size() >= 2 ? fields.at(1).toLongLong() : 0;
}

} // namespace

EventLoopWatch::EventLoopWatch(QObject* parent)
    : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(2);
    connect(&m_timer, &QTimer::timeout, this, &EventLoopWatch::tick);
}

void EventLoopWatch::start()
{
    m_longestCpuNs = 0;
    m_longestBlockedNs = 0;
    m_lastCpuNs = threadCpuNs();
    m_lastReadyNs = threadReadyNs();
    m_wall.start();
    m_timer.start();
}

void EventLoopWatch::stop()
{
    tick();
    m_timer.stop();
}

void EventLoopWatch::tick()
{
    const qint64 cpu = threadCpuNs();
    const qint64 ready = threadReadyNs();
    const qint64 wall = m_wall.nsecsElapsed();
    m_wall.start();
    m_longestCpuNs = std::max(m_longestCpuNs, cpu - m_lastCpuNs);
    m_longestBlockedNs = std::max(m_longestBlockedNs, wall - (cpu - m_lastCpuNs) - (ready - m_lastReadyNs));
    m_lastCpuNs = cpu;
    m_lastReadyNs = ready;
}
