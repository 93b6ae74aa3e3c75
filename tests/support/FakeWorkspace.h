#pragma once

#include "platform/Workspace.h"

// Records what the application asked of the desktop.
class FakeWorkspace : public Workspace
{
public:
    void copyText(const QString& text) override { copied << text; }
    void reveal(const QStringList& paths) override { revealed << paths; }
    void open(const QString& path) override { opened << path; }

    QStringList copied;
    QList<QStringList> revealed;
    QStringList opened;
};
