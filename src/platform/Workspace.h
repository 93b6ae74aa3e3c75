#pragma once

#include <QStringList>

// The desktop around the application: the clipboard, the file manager and default applications.
// The window uses the real one; tests and the developer tool plant their own.
class Workspace
{
public:
    virtual ~Workspace() = default;

    // Replaces the clipboard's contents with plain text.
    virtual void copyText(const QString& text) = 0;
    // Shows the files selected in the file manager, or at least opens the folder that holds them.
    virtual void reveal(const QStringList& paths) = 0;
    // Opens a file with its default application.
    virtual void open(const QString& path) = 0;
};
