#pragma once

#include "base/Result.h"
#include "plans/PlanError.h"

#include <QHash>
#include <QObject>
#include <QString>

// The folders one run writes in, and nothing else. Each step writes into a private staging folder that
// the run makes inside the output's folder (so that publishing a finished result is one rename on the
// same file system); intermediate results stay in the scratch folder. Both are locked for as long as the
// run lives, so that the next start can tell a dead run's folders from a live one's and remove them.
// A run keeps its folders as a child object, for as long as it lives.
class RunFolders : public QObject
{
    Q_OBJECT

public:
    // `scratchDir` is the run's scratch folder; when it is empty or already there (not this run's), a
    // scratch folder of its own in the temporary folder holds the lock and the record of staging folders.
    RunFolders(const QString& scratchDir, const QString& tempRoot, QObject* parent = nullptr);
    // Releases the locks; removes nothing.
    ~RunFolders() override;

    // Whether the given scratch folder was made here; the run removes it at its end.
    bool ownsScratch() const { return m_ownsScratch; }

    // Where a step writes `finalPath`: the same name in the run's staging folder inside its folder.
    Result<QString, PlanError> stage(const QString& finalPath);
    // For a staged path, the final name it will be published under, and the staging folder it is in;
    // any other path is its own final name and has no staging folder.
    QString finalPathOf(const QString& path) const { return m_finals.value(path, path); }
    QString stagingOf(const QString& path) const;

    // The run's staging folder inside `folder`, made (mode 0700) on first use; the system's description
    // when it cannot be made.
    Result<QString, PlanError> stagingIn(const QString& folder);
    // Moves a finished result from staging to `finalPath`, never replacing anything: when that name was
    // taken meanwhile the result gets the next free name. Returns the name used.
    static Result<QString, PlanError> publish(const QString& staged, const QString& finalPath);
    // Removes every staging folder, and the folder holding the lock when it is not the given scratch folder.
    void removeAll();

    // Removes what earlier runs of this user left behind when they died: scratch folders in `tempRoot`
    // and the staging folders they recorded, recognised by their names and by a lock no live run holds.
    // Returns how many folders went.
    static int removeLeftovers(const QString& tempRoot);

    // The names given to these folders.
    static bool isScratchName(const QString& name);
    static bool isStagingName(const QString& name);

private:
    QString m_lockDir; // the folder holding the lock and the record
    int m_lockFd = -1;
    bool m_ownsScratch = false;
    QString m_id;
    QHash<QString, QString> m_staging; // output folder -> staging folder
    QHash<QString, QString> m_finals; // staged path -> final path
    QList<int> m_stagingFds;
};
