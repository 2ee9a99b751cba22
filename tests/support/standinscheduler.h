#pragma once
// A print scheduler's stand-in on a Unix socket in a folder of the test's: real HTTP and IPP as
// libcups speaks them, enough for a job of the queue "desk" (its attributes, Create-Job,
// Send-Document, Cancel-Job, whose job ids it keeps), which misbehaves while the document comes
// in (Upload). `bytes`: where it stops reading, drops or refuses; for slow, what it reads a second.
// Each connection has a thread; all end with the object.
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

class StandInScheduler {
public:
    enum class Upload {
        stall,       // stops reading after `bytes`, and answers nothing more
        drop,        // drops the connection after `bytes`
        mute,        // answers nothing at all
        muteLater,   // answers nothing once the job is made, on any connection
        silentEnd,   // reads the whole document and never answers
        closeAtEnd,  // reads the whole document and hangs up without answering
        refuse,      // answers 413 (too large) after `bytes` and hangs up
        slow,        // reads `bytes` a second, then answers as it should
        deaf,        // stops reading after `bytes` and accepts no connection after
    };

    StandInScheduler(const QString &socketPath, Upload upload, qint64 bytes = 0)
        : path_(socketPath.toLocal8Bit()), upload_(upload), dropAfter_(bytes)
    {
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path_.constData(), sizeof address.sun_path);
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(listener_, 8) != 0)
            return;
        accepting_ = std::thread([this] {
            for (int fd; (fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
                const std::lock_guard lock(mutex_);
                if (ending_ || (upload_ == Upload::deaf && begun_)) {
                    ::close(fd);
                    break;
                }
                clients_.append(fd);
                threads_.emplace_back([this, fd] { serve(fd); });
            }
        });
    }
    ~StandInScheduler()
    {
        {
            const std::lock_guard lock(mutex_);
            ending_ = true;
            for (const int fd : clients_)
                ::shutdown(fd, SHUT_RDWR);
        }
        ::shutdown(listener_, SHUT_RDWR);
        if (accepting_.joinable())
            accepting_.join();
        for (std::thread &t : threads_)
            t.join();
        for (const int fd : clients_)
            ::close(fd);
        ::close(listener_);
        ::unlink(path_.constData());
    }
    bool listening() const { return accepting_.joinable(); }
    QList<int> cancelled() const
    {
        const std::lock_guard lock(mutex_);
        return cancelled_;
    }
    // The document has begun to arrive (mute: the first request).
    bool documentBegun() const { return begun_; }
    // The document's bytes read so far, and whether its end came.
    qint64 documentBytes() const { return documentBytes_; }
    bool documentEnded() const { return ended_; }

private:
    // One request: its header and IPP operation; false once the connection ended.
    bool request(int fd, QByteArray &head, QByteArray &body)
    {
        QByteArray in;
        qsizetype end;
        while ((end = in.indexOf("\r\n\r\n")) < 0)
            if (!more(fd, in))
                return false;
        head = in.left(end + 4);
        body = in.mid(end + 4);
        return true;
    }
    bool more(int fd, QByteArray &in)
    {
        char buffer[4096];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        in.append(buffer, got);
        return true;
    }
    static int field(const QByteArray &head, const char *name)
    {
        const qsizetype at = head.toLower().indexOf(QByteArray(name).toLower() + ':');
        return at < 0 ? -1 : head.mid(at + qstrlen(name) + 1, 12).trimmed().split('\r').first().toInt();
    }
    // An IPP answer: successful, with a job id when given one, else the queue "desk" when asked for
    // a queue's attributes.
    static void answer(int fd, quint32 requestId, int operation)
    {
        QByteArray ipp("\x02\x00\x00\x00", 4);
        const quint32 id = htonl(requestId);
        ipp.append(reinterpret_cast<const char *>(&id), 4);
        const auto attribute = [&ipp](char tag, const QByteArray &name, const QByteArray &value) {
            ipp += tag;
            ipp += char(name.size() >> 8), ipp += char(name.size() & 0xff), ipp += name;
            ipp += char(value.size() >> 8), ipp += char(value.size() & 0xff), ipp += value;
        };
        ipp += '\x01';
        attribute('\x47', "attributes-charset", "utf-8");
        attribute('\x48', "attributes-natural-language", "en");
        if (operation == 0x0005) { // Create-Job
            ipp += '\x02';
            const quint32 job = htonl(7);
            attribute('\x21', "job-id", QByteArray(reinterpret_cast<const char *>(&job), 4));
        } else if (operation == 0x000b) { // Get-Printer-Attributes
            ipp += '\x04';
            attribute('\x42', "printer-name", "desk");
            attribute('\x45', "printer-uri-supported", "ipp://localhost/printers/desk");
            attribute('\x49', "document-format-supported", "application/pdf");
        }
        ipp += '\x03';
        const QByteArray out = "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nContent-Length: " +
                               QByteArray::number(ipp.size()) + "\r\n\r\n" + ipp;
        (void)::send(fd, out.constData(), size_t(out.size()), MSG_NOSIGNAL);
    }
    void serve(int fd)
    {
        QByteArray head, body;
        while (request(fd, head, body)) {
            if (upload_ == Upload::mute || (upload_ == Upload::muteLater && made_)) {
                begun_ = true;
                return; // reads and answers nothing more; the connection stays open until the end
            }
            if (head.toLower().contains("expect: 100-continue"))
                (void)::send(fd, "HTTP/1.1 100 Continue\r\n\r\n", 25, MSG_NOSIGNAL);
            const int length = field(head, "Content-Length");
            if (length < 0) { // chunked: the document
                begun_ = true;
                documentBytes_ = body.size();
                if (upload_ == Upload::drop || upload_ == Upload::refuse || upload_ == Upload::stall ||
                    upload_ == Upload::deaf) {
                    while (documentBytes_ < dropAfter_ && more(fd, body))
                        documentBytes_ = body.size();
                    if (upload_ == Upload::stall || upload_ == Upload::deaf)
                        return; // reads nothing more; the connection stays open until the end
                    if (upload_ == Upload::refuse) {
                        const char refusal[] = "HTTP/1.1 413 Request Entity Too Large\r\nContent-Length: 0\r\n"
                                               "Connection: close\r\n\r\n";
                        (void)::send(fd, refusal, sizeof refusal - 1, MSG_NOSIGNAL);
                    }
                    ::shutdown(fd, SHUT_RDWR);
                    return;
                }
                // The rest, to the last chunk ("0" and an empty line).
                QElapsedTimer clock;
                clock.start();
                while (!body.endsWith("\r\n0\r\n\r\n")) {
                    if (upload_ == Upload::slow && body.size() > dropAfter_ * (clock.elapsed() + 100) / 1000)
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    else if (!more(fd, body))
                        return;
                    documentBytes_ = body.size();
                }
                ended_ = true;
                if (upload_ == Upload::closeAtEnd)
                    ::shutdown(fd, SHUT_RDWR);
                if (upload_ != Upload::slow)
                    return;
                answer(fd, 1, 0x0006); // Send-Document: successful
                continue;
            }
            while (body.size() < length + 0)
                if (!more(fd, body))
                    return;
            if (body.size() < 8)
                return;
            const int operation = (uchar(body[2]) << 8) | uchar(body[3]);
            quint32 requestId;
            memcpy(&requestId, body.constData() + 4, 4);
            requestId = ntohl(requestId);
            if (operation == 0x0008) { // Cancel-Job: its job-id is the last integer
                const qsizetype at = body.lastIndexOf("job-id");
                if (at >= 0 && at + 6 + 2 + 4 <= body.size()) {
                    quint32 job;
                    memcpy(&job, body.constData() + at + 8, 4);
                    const std::lock_guard lock(mutex_);
                    cancelled_.append(int(ntohl(job)));
                }
            }
            answer(fd, requestId, operation);
            made_ = made_ || operation == 0x0005;
        }
    }

    QByteArray path_;
    Upload upload_;
    qint64 dropAfter_;
    int listener_ = -1;
    std::thread accepting_;
    mutable std::mutex mutex_;
    bool ending_ = false;
    QList<int> clients_;
    std::vector<std::thread> threads_;
    QList<int> cancelled_;
    std::atomic<bool> begun_{false}, made_{false}, ended_{false};
    std::atomic<qint64> documentBytes_{0};
};

// A scheduler on the loopback network that is never reached: its one place for a connection not
// yet accepted is taken, so every later connect waits for an answer that never comes.
class UnreachableScheduler {
public:
    UnreachableScheduler()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
            ::listen(listener_, 0) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return;
        port_ = ntohs(address.sin_port);
        for (int i = 0; i < 2; ++i) { // the accept queue holds backlog + 1
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            (void)::connect(fd, reinterpret_cast<sockaddr *>(&address), size);
            filling_.append(fd);
        }
    }
    ~UnreachableScheduler()
    {
        for (const int fd : filling_)
            ::close(fd);
        ::close(listener_);
    }
    int port() const { return port_; }

private:
    int listener_ = -1, port_ = 0;
    QList<int> filling_;
};
