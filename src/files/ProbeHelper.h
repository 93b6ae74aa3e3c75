#pragma once

#include "FileKind.h"
#include "MediaFacts.h"

#include <QFuture>
#include <QJsonObject>
#include <QString>

// Probes files in the worker program `trellick-probe` beside this executable, started at the first probe
// and kept for the life of the program. The readers it uses (libavformat, libvips, qpdf) bring some
// hundred shared libraries along; keeping them out of the window's process keeps its start quick, and a
// file that takes a reader over finds itself in a confined process that can open nothing. This process
// opens each file and passes the open descriptor; the worker opens nothing by name.
// Like the readers themselves, it never fails: what cannot be read is simply absent.
namespace ProbeHelper {

// How long one file may take. A worker that passes it, crashes or answers garbage is ended, that file
// gets no facts, and the next file gets a new worker.
inline constexpr int timeLimitMs = 15000;

QString program();
// Queues the file for the worker; the files are probed one after the other, in order. Runs on this
// thread's event loop, which must be the main thread's: wait for the future with a watcher, never with
// waitForFinished(). Cancelling the future takes the file off the queue.
QFuture<MediaFacts> probe(const QString& path, FileKind kind);
// probe(), waited for in an event loop of its own: for command-line tools and tests only.
MediaFacts probeNow(const QString& path, FileKind kind);
// Tests shorten the time limit to try a hanging worker; 0 restores it.
void setTimeLimitForTesting(int milliseconds);

// The form the worker replies in: one key per known fact.
QJsonObject encode(const MediaFacts& facts);
// Reads that form back, keeping only fields of the right type and in range: a damaged reply, or one
// from a worker taken over by a hostile file, gives fewer facts, never wrong kinds of values.
MediaFacts decode(const QJsonObject& object);

} // namespace ProbeHelper
