#pragma once

#include "FileKind.h"
#include "MediaFacts.h"

#include <QFuture>
#include <QJsonObject>
#include <QString>

// Probes a file in the helper program `trellick-probe` beside this executable. The readers it uses
// (libavformat, libvips) bring some hundred shared libraries along; keeping them out of the window's
// process keeps its start quick, and a file that crashes a reader takes only the helper down.
// Like the readers themselves, it never fails: what cannot be read is simply absent.
namespace ProbeHelper {

// Time limit for one ffprobe child, so a file that makes it hang cannot keep a probe running forever.
inline constexpr int ffprobeTimeLimitMs = 15000;

QString program();
// Runs the helper as a child of this thread, driven by this thread's event loop: the future is ready when
// the loop has seen the helper end, so wait for it with a watcher, never with waitForFinished(). Cancelling
// the future stops the helper.
QFuture<MediaFacts> probe(const QString& path, FileKind kind);

// The form the helper prints: one key per known fact.
QJsonObject encode(const MediaFacts& facts);
// Reads that form back, keeping only fields of the right type and in range: a damaged reply, or one
// from a helper taken over by a hostile file, gives fewer facts, never wrong kinds of values.
MediaFacts decode(const QJsonObject& object);

} // namespace ProbeHelper
