// sips: converts, resamples, rotates, flips, crops and pads pictures, and deletes their metadata, always
// writing new files.
#include "Failure.h"
#include "PictureJob.h"
#include "SipsCommand.h"

#include <cstdio>
#include <string>
#include <vector>
#include <vips/vips8>

namespace {

// libvips errors can run over several lines; the first one says what went wrong.
std::string firstLine(const std::string& text)
{
    const std::string line = text.substr(0, text.find('\n'));
    return line.empty() ? "The picture could not be processed." : line;
}

} // namespace

int main(int argc, char** argv)
{
    if (VIPS_INIT(argv[0])) {
        std::fprintf(stderr, "Error: %s\n", firstLine(vips_error_buffer()).c_str());
        return 1;
    }
    int status = 0;
    try {
        PictureJob(SipsCommand::parse(std::vector<std::string>(argv + 1, argv + argc))).run();
    } catch (const Failure& failure) {
        std::fprintf(stderr, "Error: %s\n", failure.what());
        status = 1;
    } catch (const vips::VError& error) {
        std::fprintf(stderr, "Error: %s\n", firstLine(error.what()).c_str());
        status = 1;
    }
    vips_shutdown();
    return status;
}
