#pragma once

#include <QStringList>

// The modal chooser for files and folders behind Open...: the window's own in the application, a fake in
// tests.
class OpenPanel
{
public:
    virtual ~OpenPanel() = default;

    // The chosen files and folders in the panel's order; empty when the user cancels.
    virtual QStringList choose(const QString& message) = 0;
};
