#include "FileDialogs.h"

#include "FilesAndFoldersDialog.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace {

std::optional<QStringList>& nextAnswer()
{
    static std::optional<QStringList> answer;
    return answer;
}

} // namespace

namespace FileDialogs {

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
    return QFileDialog::getOpenFileNames(parent, u"Add PDFs"_s, QString(), u"PDF documents (*.pdf *.PDF)"_s);
}

void setNextAnswer(const QStringList& paths)
{
    nextAnswer() = paths;
}

} // namespace FileDialogs
