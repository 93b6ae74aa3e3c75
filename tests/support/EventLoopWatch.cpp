#include "EventLoopWatch.h"

#include <ctime>

namespace {

qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
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
    m_longestWallNs = 0;
    m_lastCpuNs = threadCpuNs();
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
    m_longestCpuNs = std::max(m_longestCpuNs, cpu - m_lastCpuNs);
    m_longestWallNs = std::max(m_longestWallNs, m_wall.restart() * 1'000'000);
    m_lastCpuNs = cpu;
}
