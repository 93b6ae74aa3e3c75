#pragma once

#include <QString>
#include <QStringView>

// What ffmpeg and ffprobe make of an argument list, as far as the plan checker needs to know.
namespace FFmpegArgs {

// Whether the argument opens one of ffmpeg's protocols ("tcp:host:port", "tee:a|b", "crypto+file:x",
// "subfile,,start,0,end,0,:x"): ffmpeg needs no "//" after the colon to read or write through one.
bool opensProtocol(QStringView argument);

// The option name of an argument such as "-c:v", "-X265-PARAMS:v": lower-cased, without the leading
// "-" and without a stream specifier (ffmpeg matches an option on the text before its first ":").
QString optionName(QStringView argument);

// Whether an option (named as optionName gives it) stands alone. Every other option takes the next
// argument as its value, as ffmpeg treats any option it does not know as one with a value. The list is
// the union of ffmpeg's and ffprobe's value-less options, so it errs toward reading the next argument
// as a file name, which the checker then refuses unless it is a placeholder.
bool standsAlone(const QString& name);

// The options whose value is a filter graph description.
bool takesFilterGraph(const QString& name);

} // namespace FFmpegArgs
