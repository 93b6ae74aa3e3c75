#include "FileDialogOpenPanel.h"

#include "FileDialogs.h"

#include <QApplication>

QStringList FileDialogOpenPanel::choose(const QString& message)
{
    return FileDialogs::chooseFilesAndFolders(QApplication::activeWindow(), message);
}
