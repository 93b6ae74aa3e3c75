#pragma once

#include "files/FileDetails.h"
#include "plans/ResolvedOption.h"

#include <QString>
#include <QStringList>

// Every text sent to an AI. Only the typed request and the file's name, extension, size, kind and probed
// facts ever leave the machine, never the file itself.
namespace AIPrompts {

// The system message of every plan request: the answer shape and the rules, 24 lines, one of which
// describes the ffmpeg in use as far as its check has learnt it.
QString planSystem();
// The system message of every file-name request.
QString renameSystem();

// The user message of a plan request. `request` comes trimmed; `task` is the chosen action's task text and
// gives no line when empty.
QString user(const QString& request, const QString& task, const FileDetails& details);
// The user message of a name request: the request, today's date and the numbered file names.
QString renameUser(const QString& request, const QStringList& files);
// The user message that asks to fix a plan that failed when it ran: the first request's message, the plan's
// commands as shown but with the placeholders in place of every path, the step that failed (zero-based) and
// the last lines of what it printed, its paths replaced the same way, so no folder name leaves the machine.
QString fixUser(const QString& user, const ResolvedOption& option, const QString& input, int failedStep,
                const QString& errorText);
// What the user sees before anything is sent: built from the very texts that are then sent.
QString preview(const QString& provider, const QString& system, const QString& user);

} // namespace AIPrompts
