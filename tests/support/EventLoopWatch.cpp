#include "EventLoopWatch.h"

#include <QAbstractEventDispatcher>
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
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    connect(dispatcher, &QAbstractEventDispatcher::awake, this, &EventLoopWatch::awake);
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &EventLoopWatch::aboutToBlock);
}

void EventLoopWatch::start()
{
    m_running = true;
    m_inPass = false;
    m_longestCpuNs = 0;
    m_longestWallNs = 0;
}

void EventLoopWatch::stop()
{
    m_running = false;
}

void EventLoopWatch::awake()
{
    if (!m_running || m_inPass) {
        return;
    }
    m_inPass = true;
    m_wall.start();
    m_cpuStartNs = threadCpuNs();
}

void EventLoopWatch::aboutToBlock()
{
    if (!m_running || !m_inPass) {
        return;
    }
    m_inPass = false;
    m_longestWallNs = std::max(m_longestWallNs, m_wall.nsecsElapsed());
    m_longestCpuNs = std::max(m_longestCpuNs, threadCpuNs() - m_cpuStartNs);
}
