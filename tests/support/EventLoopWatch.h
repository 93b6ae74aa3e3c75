#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Measures how long the main thread's event loop goes without getting back to a fast timer: the
// longest gap between two ticks, both in the main thread's own CPU time (work that freezes the window,
// whatever else the machine is doing) and in wall time (which also catches blocking waits).
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
    void tick();

    QTimer m_timer;
    QElapsedTimer m_wall;
    qint64 m_lastCpuNs = 0;
    qint64 m_longestCpuNs = 0;
    qint64 m_longestWallNs = 0;
};
