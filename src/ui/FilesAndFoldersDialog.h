#pragma once

#include <QFileDialog>

// A file dialog in which several files and folders can be chosen together. Qt's own dialog opens a
// selected folder instead of choosing it; here the button chooses, and a double click still opens.
class FilesAndFoldersDialog : public QFileDialog
{
    Q_OBJECT

public:
    FilesAndFoldersDialog(QWidget* parent, const QString& message);

public slots:
    void accept() override;
};
