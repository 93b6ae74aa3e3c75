#pragma once

#include <QMetaType>
#include <QStringList>

// How an action starts: at once, with a plan built by the application, after a dialog, or from the AI.
enum class ActionStyle { immediate, direct, dialog, ai };

// One entry of the fixed action catalogue.
struct FileAction
{
    QString id;
    QString title;
    QString symbol;
    ActionStyle style = ActionStyle::immediate;
    // For AI actions only: the request editor's placeholder, ready-made requests and the task line of the prompt.
    QString example;
    QStringList presets;
    QString task;
    bool multiOK = false;

    bool operator==(const FileAction&) const = default;
};

Q_DECLARE_METATYPE(FileAction)
