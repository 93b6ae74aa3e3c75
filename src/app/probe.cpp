// trellick-probe: the window's probe worker. Started once with a connected socket as its descriptor 3, it
// reads the facts of every file the window opens and passes to it (readers/ProbeService), so that the media
// readers and their libraries stay out of the window's process. It loads them first, then confines itself
// so that a hostile file that took it over could open nothing and reach nothing.
#include "platform/SelfConfinement.h"
#include "readers/ProbeService.h"

#include <cstdio>
#include <sys/stat.h>

int main(int argc, char**)
{
    struct stat socket
    {
    };
    if (argc != 1 || fstat(3, &socket) != 0 || !S_ISSOCK(socket.st_mode)) {
        std::fputs("trellick-probe is started by trellick, with a socket as its descriptor 3.\n", stderr);
        return 2;
    }
    ProbeService::prepare();
#if defined(__SANITIZE_ADDRESS__)
    constexpr std::uint64_t addressSpace = 0; // the sanitizer reserves terabytes of address space
#else
    constexpr std::uint64_t addressSpace = std::uint64_t(4) << 30;
#endif
    if (!SelfConfinement::lockDown(addressSpace)) {
        std::fputs("trellick-probe could not confine itself.\n", stderr);
        return 126;
    }
    return ProbeService::serve(3);
}
