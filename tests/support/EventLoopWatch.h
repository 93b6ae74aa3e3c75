#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Measures how long the main thread's event loop goes without getting back to a fast timer: the
// longest gap between two ticks, both in the main thread's own CPU time (work that freezes the window,
// whatever else the machine is doing) and in time spent blocked (waits on files, processes or locks).
// Blocked time is the wall time less the CPU time and less the time the thread stood ready while other
// programs had the processor, so that a busy machine does not count against the window.
class EventLoopWatch : public QObject
{
    Q_OBJECT

public:
    explicit EventLoopWatch(QObject* parent = nullptr);

    void start();
    void stop();
    qint64 longestCpuMs() const { return m_longestCpuNs / 1'000'000; }
    qint64 longestBlockedMs() const { return m_longestBlockedNs / 1'000'000; }

private:
    void tick();

    QTimer m_timer;
    QElapsedTimer m_wall;
    qint64 m_lastCpuNs = 0;
    qint64 m_lastReadyNs = 0;
    qint64 m_longestCpuNs = 0;
    qint64 m_longestBlockedNs = 0;
};
