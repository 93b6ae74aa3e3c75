#pragma once

#include "platform/OpenPanel.h"

// The open panel of the application: the files-and-folders chooser, modal over the active window.
class FileDialogOpenPanel : public OpenPanel
{
public:
    QStringList choose(const QString& message) override;
};
