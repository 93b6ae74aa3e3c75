#pragma once

#include "files/FileKind.h"
#include "files/MediaFacts.h"

// The probe helper's side of the probe: reads a few technical facts from a file that was opened for it,
// with the reader for its kind: libavformat for video and audio, libvips for pictures and qpdf for PDFs.
// Probing never fails; what cannot be read is simply absent.
namespace ProbeService {

// Loads the readers' libraries and modules, so that nothing needs to be loaded once confined.
void prepare();
// Blocking; reads the open file `fd` and nothing else.
MediaFacts probe(int fd, FileKind kind);
// Answers requests on the connected socket until the other end closes it: each request is a JSON object
// {"kind": KIND} with the open file passed along, each reply the facts as ProbeHelper::encode writes them
// (an empty object for a request without a file). Returns the process's exit status.
int serve(int socket);

} // namespace ProbeService
