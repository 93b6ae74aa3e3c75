// ditto: unpacks an archive into a folder, safely. Only two forms are understood: "ditto -x -k ARCHIVE
// DEST" for a zip archive, and "ditto -x ARCHIVE DEST" for a zip or tar archive (compressed or not);
// everything else is refused.
#include "ArchiveUnpacker.h"
#include "Failure.h"

#include <clocale>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    std::setlocale(LC_CTYPE, "C.UTF-8");
    const bool zipOnly = argc == 5 && std::strcmp(argv[2], "-k") == 0;
    const int first = zipOnly ? 3 : 2;
    if ((argc != 4 && !zipOnly) || std::strcmp(argv[1], "-x") != 0 || !*argv[first] || *argv[first] == '-'
        || !*argv[first + 1] || *argv[first + 1] == '-') {
        std::fputs("ditto: Only “ditto -x -k ARCHIVE DEST” and “ditto -x ARCHIVE DEST” (unpacking an archive into a "
                   "folder) are supported.\n",
                   stderr);
        return 1;
    }
    try {
        ArchiveUnpacker(argv[first], argv[first + 1], !zipOnly).run();
    } catch (const Failure& failure) {
        std::fprintf(stderr, "ditto: %s\n", failure.what());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "ditto: %s.\n", error.what());
        return 1;
    }
    return 0;
}
