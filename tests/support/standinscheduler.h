#pragma once
// A print scheduler's stand-in on a Unix socket in a folder of the test's: real HTTP and IPP as
// libcups speaks them, enough for a job of the queue "desk" (its attributes, Create-Job,
// Send-Document, Cancel-Job, whose job ids it keeps), which misbehaves
// while the document comes in: it stops reading, or drops the connection after some bytes; or
// which answers nothing at all (mute).
// Each connection has a thread; all end with the object.
#include <QByteArray>
#include <QList>
#include <QString>

#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

class StandInScheduler {
public:
    enum class Upload { stall, drop, mute };

    StandInScheduler(const QString &socketPath, Upload upload, qint64 dropAfter = 0)
        : path_(socketPath.toLocal8Bit()), upload_(upload), dropAfter_(dropAfter)
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
                if (ending_) {
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
            if (upload_ == Upload::mute) {
                begun_ = true;
                return; // reads and answers nothing more; the connection stays open until the end
            }
            if (head.toLower().contains("expect: 100-continue"))
                (void)::send(fd, "HTTP/1.1 100 Continue\r\n\r\n", 25, MSG_NOSIGNAL);
            const int length = field(head, "Content-Length");
            if (length < 0) { // chunked: the document
                begun_ = true;
                documentBytes_ = body.size();
                if (upload_ == Upload::stall)
                    return; // reads nothing more; the connection stays open until the end
                while (documentBytes_ < dropAfter_ && more(fd, body))
                    documentBytes_ = body.size();
                ::shutdown(fd, SHUT_RDWR);
                return;
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
    std::atomic<bool> begun_{false};
    qint64 documentBytes_ = 0;
};
