// afconvert: converts an audio file to another file type and data format, always into a new file.
#include "AudioCommand.h"
#include "Failure.h"
#include "OutputFile.h"
#include "Transcoder.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdio>

int main(int argc, char** argv)
{
    try {
        const AudioCommand command = AudioCommand::parse(argc, argv);
        // The libraries' own log lines would break the promise of one line on standard error.
        av_log_set_level(command.verbose ? AV_LOG_WARNING : AV_LOG_QUIET);
        OutputFile file(command.output);
        Transcoder::run(command, file.tempPath());
        file.commit();
    } catch (const Failure& failure) {
        std::fprintf(stderr, "Error: %s\n", failure.what());
        return 1;
    }
    return 0;
}
