#pragma once

#include <QObject>
#include <QStringList>

// One window per user session. The first start owns the name app.trellick.Trellick on the session bus and
// serves org.freedesktop.Application there; a later start hands its files to it and exits. Without a
// session bus every start is on its own.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(QObject* parent = nullptr);

    // Becomes the running instance and returns true, or hands `paths` to the one already running and
    // returns false (the caller then exits). True also when there is no session bus or the running
    // instance does not answer.
    bool claim(const QStringList& paths);

    // Local paths from command-line arguments: plain paths (made absolute against the current folder) and
    // file:// addresses; anything else is dropped.
    static QStringList localPaths(const QStringList& arguments);

signals:
    // Another start asked for the window, with files to open or none.
    void openRequested(const QStringList& paths);
};
