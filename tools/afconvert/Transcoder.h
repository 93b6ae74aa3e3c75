#pragma once

#include "AudioCommand.h"

#include <filesystem>

// Decodes the first audio stream of a file and encodes it into a new file with the FFmpeg libraries,
// converting sample rate, channels and sample format on the way and carrying the tags over.
namespace Transcoder {

void run(const AudioCommand& command, const std::filesystem::path& output);

} // namespace Transcoder
