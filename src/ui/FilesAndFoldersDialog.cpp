#include "FilesAndFoldersDialog.h"

#include <QFileInfo>
#include <algorithm>

FilesAndFoldersDialog::FilesAndFoldersDialog(QWidget* parent, const QString& message)
    : QFileDialog(parent, message)
{
    setObjectName(QStringLiteral("openPanel"));
    // The platform dialogs cannot choose files and folders at once.
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
}

void FilesAndFoldersDialog::accept()
{
    const QStringList chosen = selectedFiles();
    if (!chosen.isEmpty()
        && std::all_of(chosen.begin(), chosen.end(), [](const QString& path) { return QFileInfo::exists(path); })) {
        QDialog::accept();
        return;
    }
    QFileDialog::accept(); // reports a name that does not exist, as usual
}
