#pragma once

#include <QStringList>

class QWidget;

// Every file chooser of the window, modal over `parent`, and the one test hook for them all.
namespace FileDialogs {

// Several files and folders together, in the dialog's order; empty when the user cancels.
QStringList chooseFilesAndFolders(QWidget* parent, const QString& message);
// Several PDF documents, no folders; empty when the user cancels. The chooser lists files by content, but
// a name typed in it may still be anything: check the answer with isPdf.
QStringList choosePdfs(QWidget* parent);
// Whether the file is a PDF document: by its name when that says so, otherwise by its content.
bool isPdf(const QString& path);

// Tests: the next chooser of either kind shows nothing and answers `paths` (empty for a cancel).
void setNextAnswer(const QStringList& paths);

} // namespace FileDialogs
