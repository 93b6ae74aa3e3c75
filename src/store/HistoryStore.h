#pragma once

#include "HistoryEntry.h"

#include <QList>
#include <QObject>
#include <QThreadPool>

// The last runs, newest first, and their file "history.json" in the support folder.
//
// The list lives on the main thread; every change rewrites the whole file atomically on one background
// thread, in the order the changes were made. A file that exists but cannot be read or decoded gives an
// empty history, and it is kept beside the new one under another name before the first write, so that
// nothing the user had is destroyed.
class HistoryStore : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<HistoryEntry> entries READ entries NOTIFY entriesChanged)

public:
    static constexpr qsizetype maxEntries = 20;

    // Reads the file; blocks until it is read.
    explicit HistoryStore(QObject* parent = nullptr);
    // Waits for the writes still queued.
    ~HistoryStore() override;

    QList<HistoryEntry> entries() const { return m_entries; }

    void add(const HistoryEntry& entry);
    // Removes every entry with the same id; rewrites the file even when none matched.
    void remove(const HistoryEntry& entry);
    void clear();

    // Blocks until every write scheduled so far is on disk (or has failed).
    void waitForWrites();

    static QString filePath();

signals:
    void entriesChanged();

private:
    void setEntries(const QList<HistoryEntry>& entries);
    void save();

    QList<HistoryEntry> m_entries;
    // Touched only by the writes, which run one at a time: the unreadable file still to be kept aside.
    bool m_keepAsidePending = false;
    QThreadPool m_queue;
};
