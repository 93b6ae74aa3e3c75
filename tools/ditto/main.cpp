// ditto: unpacks a zip archive into a folder, safely. Only the one form "ditto -x -k ARCHIVE DEST" is
// understood; everything else is refused.
#include "Failure.h"
#include "ZipUnpacker.h"

#include <clocale>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    std::setlocale(LC_CTYPE, "C.UTF-8");
    if (argc != 5 || std::strcmp(argv[1], "-x") != 0 || std::strcmp(argv[2], "-k") != 0 || !*argv[3] || !*argv[4]) {
        std::fputs("ditto: Only “ditto -x -k ARCHIVE DEST” (unpacking a zip archive into a folder) is supported.\n",
                   stderr);
        return 1;
    }
    try {
        ZipUnpacker(argv[3], argv[4]).run();
    } catch (const Failure& failure) {
        std::fprintf(stderr, "ditto: %s\n", failure.what());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ditto: %s.\n", error.what());
        return 1;
    }
    return 0;
}
