#pragma once
#include <QtGlobal>
#include <optional>
#include <span>

// The messages between the program and a decode worker, over a socket pair of sequenced packets:
// one fixed-size message each way per decode. A request carries the picture's bytes in a sealed
// memfd and, for a decode, the answer's memfd, sized by the program for the most an answer may
// take and sealed against growing (the worker makes none); the worker writes the pixels at its
// start, seals it and closes it before it answers: the answer carries no descriptor, and the
// program reads its own. Neither seal keeps the program from shrinking a memfd once done, which
// frees its pages whoever still holds it. Neither side trusts the other's numbers without
// checking them.
namespace LWDecodeProtocol {

inline constexpr quint32 askMagic = 0x4C574431;    // "LWD1"
inline constexpr quint32 answerMagic = 0x4C574132; // "LWA2"
inline constexpr quint32 helloMagic = 0x4C574831;  // "LWH1"

// The worker's first message, once it is set up and before any request: whether it could shut
// itself in (one that could not decodes nothing and ends), and whether its tasks are counted
// apart from every other process's (LWWorkerSandbox::alone). It carries the listener its filter
// asks each new thread of.
struct Hello {
    quint32 magic = helloMagic;
    quint32 size = sizeof(Hello);
    qint32 confined = 0;
    qint32 alone = 0;
};

// What the program asks of a picture: its pixels, or only what its header tells (Answer's size,
// format, orientation, work and alpha; no memfd back).
enum class Kind : qint32 { decode = 0, header = 1 };

struct Ask {
    quint32 magic = askMagic;
    quint32 size = sizeof(Ask);
    Kind kind = Kind::decode;
    qint64 bytes = 0; // of the picture, at the start of the memfd
    qint32 longestSide = 0;
    double part[4] = {0, 0, 1, 1};
    qint64 memoryLimit = 0; // the worker's data limit for this decode; 0: none
    qint32 cpuMilliseconds = 0; // CPU time this decode may take
};

// An answer's rows hold their pixels and at most this many bytes more each: the program refuses
// wider rows, so the worker writes a decoder's wider ones (libheif pads a picture under 64
// pixels wide to 64) at the image's own width.
inline constexpr int rowPadding = 64;

struct Answer {
    quint32 magic = answerMagic;
    quint32 size = sizeof(Answer);
    qint32 failure = 0; // LWPictureDecoder::Failure
    qint32 partial = 0;
    qint32 width = 0, height = 0, bytesPerLine = 0, format = 0;
    qint32 dotsPerMeterX = 0, dotsPerMeterY = 0;
    qint32 outOfSystemMemory = 0; // with failure outOfMemory: the machine's want, not the decode's limit
    qint64 iccBytes = 0; // the colour profile, after the pixels in the memfd
    qint32 orientation = 1, work = 0, alpha = 0; // a header's (LWPictureDecoder::Header)
};

// A message and the memfd it carries (-1: none); the receiver owns the descriptor.
template <typename T>
struct Received {
    T message;
    int fd = -1;
};

// Sends one message with the descriptors given; false when the peer is gone. Never raises SIGPIPE.
[[nodiscard]] bool send(int channel, const void *message, int size, std::span<const int> fds);
// With one descriptor, or none when `fd` is negative.
[[nodiscard]] inline bool send(int channel, const void *message, int size, int fd)
{
    return send(channel, message, size, fd >= 0 ? std::span<const int>(&fd, 1) : std::span<const int>());
}
// Receives one message of exactly `size` bytes with at most fds.size() descriptors, in `fds` in
// the order sent (-1 past those received). False on end of file, error, or a message of another
// size or with more descriptors (any received are closed).
[[nodiscard]] bool receive(int channel, void *message, int size, std::span<int> fds);
// With at most one descriptor, or -1. None where the above is false, and where no message waits:
// it never waits (for the program, once a wait on the worker ended).
[[nodiscard]] std::optional<int> receive(int channel, void *message, int size);

// A memfd of `size` bytes that can be sealed; -1 on failure.
[[nodiscard]] int makeMemfd(const char *name, qint64 size);
// Seals a memfd against growing only (its content still written); false on failure.
[[nodiscard]] bool sealGrowth(int fd);
// Seals a memfd against writes, growing and any further seal, never against shrinking (the
// program frees its pages so); false on failure.
[[nodiscard]] bool seal(int fd);
// Whether the memfd is sealed as seal() does, may still be shrunk, and holds exactly `size` bytes.
[[nodiscard]] bool sealedWith(int fd, qint64 size);
// Frees a memfd's pages (it is shrunk to nothing; what another process holds of it too) and
// closes it; false when it could not be shrunk (someone sealed it against that).
bool release(int fd);

} // namespace LWDecodeProtocol
