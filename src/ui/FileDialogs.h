#pragma once

#include <QStringList>

class QWidget;

// Every file chooser of the window, modal over `parent`, and the one test hook for them all.
namespace FileDialogs {

// Several files and folders together, in the dialog's order; empty when the user cancels.
QStringList chooseFilesAndFolders(QWidget* parent, const QString& message);
// Several PDF documents, no folders; empty when the user cancels.
QStringList choosePdfs(QWidget* parent);

// Tests: the next chooser of either kind shows nothing and answers `paths` (empty for a cancel).
void setNextAnswer(const QStringList& paths);

} // namespace FileDialogs
