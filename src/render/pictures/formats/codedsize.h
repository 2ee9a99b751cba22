#pragma once
#include <QByteArray>
#include <QSize>
#include <optional>

// The picture size a video bitstream tells its decoder, read from its headers only: the size the
// decoder will allocate, whatever the container around it declares. Each function takes the
// largest size of all the headers found (a later header replaces an earlier one in the decoder).
// Thread-safe.
namespace LWCodedSize {

// What a bitstream makes its decoder do: the largest picture size its headers give (empty when
// it has none) and the number of pictures it codes, each decoded in full.
struct Stream {
    QSize size;
    QSize ceiling; // the largest a picture may still claim to be (AV1 frame headers may)
    int pictures = 0;
    int otherUnits = 0; // NAL units besides slices (parameter sets, messages), or OBUs besides frames, each parsed
};

// HEVC: the sequence parameter sets and pictures among NAL units, each preceded by its length in
// `lengthSize` bytes (1, 2 or 4). None when a length runs past the end or a set does not parse.
[[nodiscard]] std::optional<Stream> hevcNalUnits(const QByteArray &data, int lengthSize);

// HEVC decoder configuration (hvcC box body): its NAL unit length size, the largest size of its
// sequence parameter sets (empty when it holds none) and the pictures its arrays hold, which the
// decoder is given with every image. None when it does not parse.
struct HevcConfig {
    int lengthSize = 4;
    QSize size;
    int pictures = 0;
    int otherUnits = 0; // NAL units in its arrays besides slices
};
[[nodiscard]] std::optional<HevcConfig> hevcConfig(const QByteArray &hvcC);

// AV1: the largest maximum frame size of the sequence headers among OBUs (an av1C box body
// after its first four bytes, or an item's data), and its frames. None when an OBU runs past the
// end or a sequence header does not parse. Its otherUnits are the OBUs besides frame headers,
// tile groups and frames.
[[nodiscard]] std::optional<Stream> av1Obus(const QByteArray &data);

} // namespace LWCodedSize
