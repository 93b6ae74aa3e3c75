#include "FdChannel.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int socket, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(socket, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// Reads exactly `size` bytes; the first call may bring a descriptor along, any more than one is closed.
bool readAll(int socket, char* data, std::size_t size, Descriptor* descriptor)
{
    while (size > 0) {
        iovec part{data, size};
        alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) {
                continue;
            }
            const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < count; ++i) {
                int fd = -1;
                std::memcpy(&fd, CMSG_DATA(header) + i * sizeof(int), sizeof fd);
                Descriptor arrived(fd);
                if (descriptor && !descriptor->isValid()) {
                    *descriptor = std::move(arrived);
                }
            }
        }
        if (got <= 0) {
            return false;
        }
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept
{
    if (this != &other) {
        Descriptor old(std::exchange(m_fd, std::exchange(other.m_fd, -1)));
    }
    return *this;
}

Descriptor::~Descriptor()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

qint64 Descriptor::readAt(int fd, char* data, qint64 size, qint64 offset)
{
    ssize_t got = -1;
    do {
        got = ::pread(fd, data, static_cast<std::size_t>(size), offset);
    } while (got < 0 && errno == EINTR);
    return got;
}

qint64 Descriptor::sizeOf(int fd)
{
    struct stat info
    {
    };
    return ::fstat(fd, &info) == 0 ? info.st_size : -1;
}

FILE* Descriptor::streamOf(int fd)
{
    Descriptor copy(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    FILE* stream = copy.isValid() ? ::fdopen(copy.get(), "rb") : nullptr;
    if (stream) {
        copy.release();
    }
    return stream;
}

Descriptor Descriptor::openRegularFile(const QString& path)
{
    // Non-blocking, so that opening a named pipe returns at once; the flag is cleared for the reader.
    Descriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK));
    struct stat info
    {
    };
    if (!file.isValid() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)
        || ::fcntl(file.get(), F_SETFL, O_RDONLY) != 0) {
        return {};
    }
    return file;
}

std::optional<std::pair<Descriptor, Descriptor>> FdChannel::makePair()
{
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return std::nullopt;
    }
    return std::pair(Descriptor(ends[0]), Descriptor(ends[1]));
}

bool FdChannel::send(int socket, const QByteArray& body, int descriptor)
{
    if (static_cast<quint64>(body.size()) > maxMessage) {
        return false;
    }
    const quint32 length = static_cast<quint32>(body.size());
    QByteArray frame(reinterpret_cast<const char*>(&length), sizeof length);
    frame += body;
    if (descriptor < 0) {
        return writeAll(socket, frame.constData(), static_cast<std::size_t>(frame.size()));
    }
    // The descriptor rides on the first byte; the rest follows as plain data.
    iovec first{frame.data(), 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))]{};
    msghdr message{};
    message.msg_iov = &first;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = SOL_SOCKET;
    header->cmsg_type = SCM_RIGHTS;
    header->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(header), &descriptor, sizeof descriptor);
    ssize_t sent = -1;
    do {
        sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == 1 && writeAll(socket, frame.constData() + 1, static_cast<std::size_t>(frame.size() - 1));
}

std::optional<FdChannel::Message> FdChannel::receive(int socket)
{
    Message message;
    quint32 length = 0;
    if (!readAll(socket, reinterpret_cast<char*>(&length), sizeof length, &message.descriptor) || length > maxMessage) {
        return std::nullopt;
    }
    message.body.resize(static_cast<qsizetype>(length));
    if (!readAll(socket, message.body.data(), length, nullptr)) {
        return std::nullopt;
    }
    return message;
}

FdChannel::FdChannel(Descriptor socket, QObject* parent)
    : QObject(parent)
    , m_socket(std::move(socket))
    , m_notifier(m_socket.get(), QSocketNotifier::Read)
{
    ::fcntl(m_socket.get(), F_SETFL, O_NONBLOCK);
    connect(&m_notifier, &QSocketNotifier::activated, this, &FdChannel::readAvailable);
}

void FdChannel::readAvailable()
{
    char chunk[16384];
    for (;;) {
        // Plain reads: a descriptor the other end sends along is closed by the system, never kept.
        const ssize_t got = ::read(m_socket.get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        if (got <= 0) {
            m_notifier.setEnabled(false);
            emit broken();
            return;
        }
        m_buffer.append(chunk, got);
    }
    while (m_buffer.size() >= qsizetype(sizeof(quint32))) {
        quint32 length = 0;
        std::memcpy(&length, m_buffer.constData(), sizeof length);
        if (length > maxMessage) {
            m_notifier.setEnabled(false);
            emit broken();
            return;
        }
        const qsizetype whole = qsizetype(sizeof length) + qsizetype(length);
        if (m_buffer.size() < whole) {
            break;
        }
        const QByteArray body = m_buffer.mid(sizeof length, length);
        m_buffer.remove(0, whole);
        emit received(body);
    }
}
