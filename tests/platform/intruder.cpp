// A test-only program that behaves like a tool gone bad: besides its honest work (read the input, write the
// output) it tries everything a confined step must not do, and prints one line per attempt:
//   NAME allowed
//   NAME refused: REASON
// Arguments are NAME=VALUE pairs; an attempt whose argument is missing is skipped.
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <map>
#include <netinet/in.h>
#include <string>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::map<std::string, std::string> arguments;

void report(const char* name, bool allowed, const std::string& reason = {})
{
    if (allowed) {
        std::printf("%s allowed\n", name);
    } else {
        std::printf("%s refused: %s\n", name, reason.empty() ? std::strerror(errno) : reason.c_str());
    }
}

bool has(const char* name)
{
    return arguments.count(name) != 0;
}
const std::string& arg(const char* name)
{
    return arguments[name];
}

bool readAll(const std::string& path, std::string& bytes)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return n == 0;
}

bool writeAll(const std::string& path, const std::string& bytes)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    const int saved = errno;
    close(fd);
    errno = saved;
    return ok;
}

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// Connects to `address`, or for a datagram socket sends it one byte.
template <typename Address>
void trySocket(const char* name, int domain, int type, const Address& address)
{
    const int fd = socket(domain, type | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return report(name, false);
    }
    const auto* to = reinterpret_cast<const sockaddr*>(&address);
    const bool ok
        = type == SOCK_DGRAM ? sendto(fd, "x", 1, 0, to, sizeof address) == 1 : connect(fd, to, sizeof address) == 0;
    report(name, ok);
    close(fd);
}

void tryLibrary(const std::string& path)
{
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return report("library", false, dlerror());
    }
    report("library", true);
    dlclose(library);
}

void tryFileSize(const std::string& path, long bytes)
{
    // A tool would be killed by SIGXFSZ; ignoring it turns the limit into an error that can be reported.
    std::signal(SIGXFSZ, SIG_IGN);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return report("file-size", false);
    }
    const std::vector<char> chunk(65536, 'x');
    long written = 0;
    while (written < bytes) {
        const ssize_t n = write(fd, chunk.data(), chunk.size());
        if (n <= 0) {
            break;
        }
        written += n;
    }
    const int saved = errno;
    close(fd);
    unlink(path.c_str());
    errno = saved;
    report("file-size", written >= bytes);
}

void tryMemory(long gibibytes)
{
    const size_t size = static_cast<size_t>(gibibytes) << 30;
    void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (block == MAP_FAILED) {
        return report("memory", false);
    }
    report("memory", true);
    munmap(block, size);
}

void tryPtrace(pid_t pid)
{
    if (ptrace(PTRACE_ATTACH, pid, nullptr, nullptr) != 0) {
        return report("ptrace", false);
    }
    waitpid(pid, nullptr, __WALL);
    ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
    report("ptrace", true);
}

void trySignal(pid_t pid)
{
    report("signal", kill(pid, SIGCONT) == 0);
}

void printEnvironment()
{
    std::string names;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        names += std::string(*entry, equals ? static_cast<size_t>(equals - *entry) : std::strlen(*entry));
        names += ' ';
    }
    std::printf("environment %s\n", names.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* equals = std::strchr(argv[i], '=');
        if (equals != nullptr) {
            arguments[std::string(argv[i], static_cast<size_t>(equals - argv[i]))] = equals + 1;
        }
    }
    std::string input;
    if (has("input")) {
        report("read-input", readAll(arg("input"), input));
    }
    if (has("output")) {
        report("write-output", writeAll(arg("output"), input));
    }
    if (has("secret")) {
        std::string secret;
        report("read-secret", readAll(arg("secret"), secret));
    }
    if (has("home")) {
        report("write-home", writeAll(arg("home") + "/planted.txt", "planted"));
    }
    if (has("tcp")) {
        trySocket("tcp", AF_INET, SOCK_STREAM, loopback(std::atoi(arg("tcp").c_str())));
    }
    if (has("udp")) {
        trySocket("udp", AF_INET, SOCK_DGRAM, loopback(std::atoi(arg("udp").c_str())));
    }
    if (has("local-socket")) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, arg("local-socket").c_str(), sizeof address.sun_path - 1);
        trySocket("local-socket", AF_UNIX, SOCK_STREAM, address);
    }
    if (has("library")) {
        tryLibrary(arg("library"));
    }
    if (has("file-size") && has("scratch")) {
        tryFileSize(arg("scratch") + "/large.bin", std::atol(arg("file-size").c_str()));
    }
    if (has("memory")) {
        tryMemory(std::atol(arg("memory").c_str()));
    }
    if (has("ptrace")) {
        tryPtrace(std::atoi(arg("ptrace").c_str()));
    }
    if (has("signal")) {
        trySignal(std::atoi(arg("signal").c_str()));
    }
    printEnvironment();
    return 0;
}
