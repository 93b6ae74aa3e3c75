#include "FileDialogs.h"

#include "FilesAndFoldersDialog.h"
#include "files/FileKind.h"

#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

std::optional<QStringList>& nextAnswer()
{
    static std::optional<QStringList> answer;
    return answer;
}

// Folders, and files whose content is a PDF whatever their names say ("report.Pdf", "scan" without an
// extension).
class PdfsAndFolders : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
        const QModelIndex index = files->index(row, 0, parent);
        return files->isDir(index) || FileDialogs::isPdf(files->filePath(index));
    }
};

} // namespace

namespace FileDialogs {

bool isPdf(const QString& path)
{
    return FileKinds::detect(path) == FileKind::pdf;
}

QStringList chooseFilesAndFolders(QWidget* parent, const QString& message)
{
    if (std::optional<QStringList> answer = std::exchange(nextAnswer(), std::nullopt)) {
        return *answer;
    }
    FilesAndFoldersDialog dialog(parent, message);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

QStringList choosePdfs(QWidget* parent)
{
    if (std::optional<QStringList> answer = std::exchange(nextAnswer(), std::nullopt)) {
        return *answer;
    }
    // Qt's own dialog: the platform ones filter by name only.
    QFileDialog dialog(parent, u"Add PDFs"_s);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setProxyModel(new PdfsAndFolders(&dialog));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

void setNextAnswer(const QStringList& paths)
{
    nextAnswer() = paths;
}

} // namespace FileDialogs
