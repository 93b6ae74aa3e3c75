#pragma once

#include <QStringList>
#include <optional>

class QWidget;

// The platform's file chooser for the dialogs, with a hook that lets tests answer the next one.
namespace FileChooser {

// Several PDF documents, no folders; empty when the user cancels.
QStringList choosePdfs(QWidget* parent);
// Tests: the next chooser returns these paths at once instead of opening.
void setNextAnswer(const QStringList& paths);

} // namespace FileChooser
