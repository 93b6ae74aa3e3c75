#include "FileDialogOpenPanel.h"

#include "FilesAndFoldersDialog.h"

FileDialogOpenPanel::FileDialogOpenPanel(QWidget* parent)
    : m_parent(parent)
{
}

QStringList FileDialogOpenPanel::show(const QString& message)
{
    FilesAndFoldersDialog dialog(m_parent, message);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles();
}
