#pragma once

#include <QElapsedTimer>
#include <QObject>

// Measures how long the main thread's event loop goes without coming back to wait for events: the
// longest single pass, both in the main thread's own CPU time (work that freezes the window, whatever
// else the machine is doing) and in wall time (which also catches blocking waits).
class EventLoopWatch : public QObject
{
    Q_OBJECT

public:
    explicit EventLoopWatch(QObject* parent = nullptr);

    void start();
    void stop();
    qint64 longestCpuMs() const { return m_longestCpuNs / 1'000'000; }
    qint64 longestWallMs() const { return m_longestWallNs / 1'000'000; }

private:
    void awake();
    void aboutToBlock();

    bool m_running = false;
    bool m_inPass = false;
    QElapsedTimer m_wall;
    qint64 m_cpuStartNs = 0;
    qint64 m_longestCpuNs = 0;
    qint64 m_longestWallNs = 0;
};
