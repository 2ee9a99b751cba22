#include "render/worker/decodeprotocol.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace LWDecodeProtocol {

bool send(int channel, const void *message, int size, std::span<const int> fds)
{
    iovec io{const_cast<void *>(message), size_t(size)};
    msghdr msg{};
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))] = {};
    if (fds.size() > 4)
        return false;
    if (!fds.empty()) {
        msg.msg_control = control;
        msg.msg_controllen = CMSG_SPACE(fds.size_bytes());
        cmsghdr *c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(fds.size_bytes());
        std::memcpy(CMSG_DATA(c), fds.data(), fds.size_bytes());
    }
    ssize_t sent;
    do
        sent = ::sendmsg(channel, &msg, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == size;
}

namespace {

bool receiveWith(int flags, int channel, void *message, int size, std::span<int> fds)
{
    iovec io{message, size_t(size)};
    msghdr msg{};
    msg.msg_iov = &io;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))] = {};
    msg.msg_control = control;
    msg.msg_controllen = sizeof(control);
    ssize_t got;
    do
        got = ::recvmsg(channel, &msg, MSG_CMSG_CLOEXEC | flags);
    while (got < 0 && errno == EINTR);
    std::fill(fds.begin(), fds.end(), -1);
    size_t taken = 0, extra = 0;
    for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int one;
            std::memcpy(&one, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
            if (taken < fds.size())
                fds[taken++] = one;
            else
                ::close(one), ++extra;
        }
    }
    if (got != size || extra > 0 || (msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC))) {
        for (int &fd : fds)
            if (fd >= 0)
                ::close(fd), fd = -1;
        return false;
    }
    return true;
}

} // namespace

bool receive(int channel, void *message, int size, std::span<int> fds)
{
    return receiveWith(0, channel, message, size, fds);
}

std::optional<int> receive(int channel, void *message, int size)
{
    int fd = -1;
    // A worker gone while another process still holds its end of the channel reads as none.
    if (!receiveWith(MSG_DONTWAIT, channel, message, size, std::span<int>(&fd, 1)))
        return std::nullopt;
    return fd;
}

int makeMemfd(const char *name, qint64 size)
{
    const int fd = ::memfd_create(name, MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    if (size > 0 && ::ftruncate(fd, off_t(size)) != 0) { // the worker may not truncate: it writes
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sealGrowth(int fd) { return ::fcntl(fd, F_ADD_SEALS, F_SEAL_GROW) == 0; }

bool seal(int fd) { return ::fcntl(fd, F_ADD_SEALS, F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0; }

bool sealedWith(int fd, qint64 size)
{
    const int seals = ::fcntl(fd, F_GET_SEALS);
    constexpr int needed = F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL;
    struct stat st{};
    return seals >= 0 && (seals & needed) == needed && !(seals & F_SEAL_SHRINK) && ::fstat(fd, &st) == 0 &&
           st.st_size == size;
}

bool release(int fd)
{
    const bool shrunk = ::ftruncate(fd, 0) == 0;
    ::close(fd);
    return shrunk;
}

} // namespace LWDecodeProtocol
