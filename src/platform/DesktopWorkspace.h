#pragma once

#include "Workspace.h"

// The freedesktop workspace: QClipboard, the FileManager1 D-Bus service (falling back to opening the
// containing folder when no file manager answers) and QDesktopServices.
class DesktopWorkspace : public Workspace
{
public:
    void copyText(const QString& text) override;
    void reveal(const QStringList& paths) override;
    void open(const QString& path) override;
};
