#pragma once

#include "platform/OpenPanel.h"

#include <QPointer>
#include <QWidget>

// The open panel of the window: a modal file dialog for several files and folders.
class FileDialogOpenPanel : public OpenPanel
{
public:
    explicit FileDialogOpenPanel(QWidget* parent);

protected:
    QStringList show(const QString& message) override;

private:
    QPointer<QWidget> m_parent;
};
