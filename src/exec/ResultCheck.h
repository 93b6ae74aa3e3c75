#pragma once

#include "RunOutcome.h"
#include "files/FileKind.h"
#include "files/MediaFacts.h"
#include "plans/ResolvedOption.h"

#include <QFuture>
#include <QStringList>
#include <functional>
#include <optional>

class QObject;

// What a plan said about one of its new files; an absent field was not said.
struct ExpectedOutput
{
    std::optional<double> seconds;
    std::optional<int> pages;
    std::optional<qint64> originalBytes; // the size of the file it is a smaller copy of
    // The PDFs whose pages it holds all of: a merge's sources, or the PDF saved as one picture per page.
    // Their page count becomes `pages` once they are probed.
    QStringList pagesOf;
    // A renamed or copied file of the user's: its content is theirs as it was, not something the run made.
    bool asIs = false;

    bool operator==(const ExpectedOutput&) const = default;
};

// A run that ended well is not done until its new files are looked at: a tool can exit with status 0 and
// leave an empty file, a clip without its video, or a PDF no reader opens.
namespace ResultCheck {

using Prober = std::function<QFuture<MediaFacts>(const QString& path, FileKind kind)>;

ExpectedOutput expected(const ResolvedOption& option, const QString& output);

// Judges one new file from the disk and its probed facts: its facts line and any warning, or the one
// sentence that names it and says what is wrong.
Result<CheckedOutput, QString> judge(const QString& path, const MediaFacts& facts, const ExpectedOutput& expected);

// Probes the outputs one after another, off `context`'s thread, and calls `done` on it with the outcome
// carrying every file's facts, or with the failure naming the first bad file. Nothing is called once
// `context` is gone.
void check(const ResolvedOption& option, const RunOutcome& outcome, const Prober& prober, QObject* context,
           const std::function<void(const RunResult&)>& done);

} // namespace ResultCheck
