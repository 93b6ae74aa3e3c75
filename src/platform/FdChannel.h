#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <cstdio>
#include <optional>
#include <utility>

// An open descriptor with one owner, closed when the owner goes.
class Descriptor
{
public:
    Descriptor() = default;
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    Descriptor(Descriptor&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();

    int get() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }

    // Up to `size` bytes at `offset`, without moving the file position; -1 on an error.
    static qint64 readAt(int fd, char* data, qint64 size, qint64 offset);
    // The size of the open file; -1 on an error.
    static qint64 sizeOf(int fd);

    // A stdio stream of its own on the same open file (sharing its position), for libraries that read
    // through one; null on an error. The caller closes it.
    static FILE* streamOf(int fd);

    // A regular file opened for reading and nothing else: not a link swapped in after `path` was chosen,
    // not a pipe or device that would block or never end. Invalid when `path` is not such a file.
    static Descriptor openRegularFile(const QString& path);

private:
    int m_fd = -1;
};

// Messages over one end of a connected Unix socket pair: each is a 4-byte length in host order and that
// many bytes, and a message may carry one open descriptor along. The blocking functions are for the
// helper at the other end; the object reads replies as they come, on its thread's event loop.
class FdChannel : public QObject
{
    Q_OBJECT

public:
    // Larger messages are refused: no reply about one file needs more.
    static constexpr quint32 maxMessage = 1 << 20;

    struct Message
    {
        QByteArray body;
        Descriptor descriptor; // invalid when none came along
    };

    // Two connected stream sockets, both close-on-exec; nullopt when the system refuses.
    static std::optional<std::pair<Descriptor, Descriptor>> makePair();
    // Blocking. False when the other end is gone.
    static bool send(int socket, const QByteArray& body, int descriptor = -1);
    // Blocking. Nullopt at the end of the stream, on an error and for a message over the size limit.
    static std::optional<Message> receive(int socket);

    // Takes this end of the pair; `received` and `broken` follow.
    explicit FdChannel(Descriptor socket, QObject* parent = nullptr);

    // False when the other end is gone.
    bool send(const QByteArray& body, int descriptor = -1) { return send(m_socket.get(), body, descriptor); }

signals:
    void received(const QByteArray& body);
    // The other end closed, or sent a frame over the limit; nothing more is read.
    void broken();

private:
    void readAvailable();

    Descriptor m_socket;
    QSocketNotifier m_notifier;
    QByteArray m_buffer;
};
