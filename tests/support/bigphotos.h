#pragma once
// Large photos made by the encoders a phone or a camera program would use (libjpeg, libheif with
// x265 and libaom, libaom alone), of four flat quarters so that they encode in about a second.
#include "support/heifcraft.h"
#include "support/jpegrows.h"
#include "support/testpictures.h"

#include <QColor>
#include <QImage>
#include <QList>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include <aom/aom_encoder.h>
#include <aom/aomcx.h>
#include <cstdio>
#include <jpeglib.h>
#include <libheif/heif.h>

namespace LWBigPhotos {

// The colours of the quarters: top left, top right, bottom left, bottom right.
inline const QList<QColor> quarters = {QColor(200, 40, 40), QColor(40, 160, 60), QColor(40, 70, 190),
                                       QColor(230, 200, 40)};
// The quarter colour at (fx, fy), fractions of the picture.
inline QColor quarterAt(double fx, double fy) { return quarters[(fy >= 0.5 ? 2 : 0) + (fx >= 0.5 ? 1 : 0)]; }

// With grain, as a photo's noise makes its coding cost what a photo's does.
inline void quarterRow(int w, int h, int y, uchar *rgb, bool grain = false)
{
    quint32 seed = quint32(y) * 2654435761u;
    for (int x = 0; x < w; ++x, rgb += 3) {
        const QColor c = quarterAt(double(x) / w, double(y) / h);
        int g = 0;
        if (grain) {
            seed = seed * 1664525u + 1013904223u;
            g = int(seed >> 28) - 8;
        }
        rgb[0] = uchar(std::clamp(c.red() + g, 0, 255)), rgb[1] = uchar(std::clamp(c.green() + g, 0, 255));
        rgb[2] = uchar(std::clamp(c.blue() + g, 0, 255));
    }
}

// The quarters as an image (for encoders that take one), with grain.
inline QImage quarterImage(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        quarterRow(w, h, y, img.scanLine(y), true);
    return img;
}

// The four-quarter photo as a baseline JPEG.
inline QByteArray jpeg(int w, int h, bool grain = false)
{
    return jpegOfRows(w, h, [&](int y, uchar *row) { quarterRow(w, h, y, row, grain); });
}

// libheif's own AVIF (libaom at its fastest): a still picture with the reduced sequence header.
inline QByteArray avifReduced(int w, int h)
{
    heif_context *ctx = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_image *img = nullptr;
    QByteArray out;
    if (heif_context_get_encoder_for_format(ctx, heif_compression_AV1, &encoder).code == heif_error_Ok &&
        heif_image_create(w, h, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &img).code == heif_error_Ok &&
        heif_image_add_plane(img, heif_channel_interleaved, w, h, 8).code == heif_error_Ok) {
        heif_encoder_set_parameter(encoder, "speed", "9");
        heif_encoder_set_lossy_quality(encoder, 60);
        int stride = 0;
        uint8_t *plane = heif_image_get_plane(img, heif_channel_interleaved, &stride);
        for (int y = 0; y < h; ++y)
            quarterRow(w, h, y, plane + qsizetype(y) * stride);
        heif_writer writer{1, [](heif_context *, const void *data, size_t size, void *to) {
                               static_cast<QByteArray *>(to)->append(static_cast<const char *>(data), qsizetype(size));
                               return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                           }};
        if (heif_context_encode_image(ctx, img, encoder, nullptr, nullptr).code == heif_error_Ok) {
            EXPECT_EQ(heif_context_write(ctx, &writer, &out).code, heif_error_Ok);
        }
    }
    if (img)
        heif_image_release(img);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(ctx);
    EXPECT_FALSE(out.isEmpty());
    return out;
}

// libaom's ordinary output (not a still picture: the sequence header of any video), as an
// encoder outside libheif writes it, in an AVIF container around it.
inline QByteArray avifOrdinary(int w, int h)
{
    aom_codec_enc_cfg_t cfg;
    if (aom_codec_enc_config_default(aom_codec_av1_cx(), &cfg, AOM_USAGE_REALTIME) != AOM_CODEC_OK)
        return {};
    cfg.g_w = unsigned(w);
    cfg.g_h = unsigned(h);
    cfg.g_threads = 4;
    cfg.g_lag_in_frames = 0;
    cfg.rc_end_usage = AOM_Q;
    aom_codec_ctx_t codec;
    if (aom_codec_enc_init(&codec, aom_codec_av1_cx(), &cfg, 0) != AOM_CODEC_OK)
        return {};
    aom_codec_control(&codec, AOME_SET_CPUUSED, 10);
    aom_codec_control(&codec, AOME_SET_CQ_LEVEL, 20);
    // Studio-range BT.601, the reading of a sequence header that names no colours.
    aom_image_t img;
    aom_img_alloc(&img, AOM_IMG_FMT_I420, unsigned(w), unsigned(h), 16);
    const auto yuv = [](const QColor &c) {
        const double r = c.red(), g = c.green(), b = c.blue();
        return std::array<uchar, 3>{uchar(qRound(16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255)),
                                    uchar(qRound(128 + (-37.797 * r - 74.203 * g + 112 * b) / 255)),
                                    uchar(qRound(128 + (112 * r - 93.786 * g - 18.214 * b) / 255))};
    };
    for (int p = 0; p < 3; ++p) {
        const int pw = p ? (w + 1) / 2 : w, ph = p ? (h + 1) / 2 : h;
        for (int y = 0; y < ph; ++y) {
            uchar *row = img.planes[p] + qsizetype(y) * img.stride[p];
            for (int x = 0; x < pw; ++x)
                row[x] = yuv(quarterAt(double(x) / pw, double(y) / ph))[size_t(p)];
        }
    }
    QByteArray obus;
    const auto take = [&] {
        aom_codec_iter_t it = nullptr;
        while (const aom_codec_cx_pkt_t *pkt = aom_codec_get_cx_data(&codec, &it))
            if (pkt->kind == AOM_CODEC_CX_FRAME_PKT)
                obus.append(static_cast<const char *>(pkt->data.frame.buf), qsizetype(pkt->data.frame.sz));
    };
    if (aom_codec_encode(&codec, &img, 0, 1, AOM_EFLAG_FORCE_KF) == AOM_CODEC_OK)
        take();
    aom_codec_encode(&codec, nullptr, 0, 0, 0);
    take();
    aom_img_free(&img);
    aom_codec_destroy(&codec);
    // An item holds no temporal delimiter (an OBU of type 2 and no payload).
    if (obus.size() >= 2 && ((uchar(obus[0]) >> 3) & 15) == 2 && obus[1] == 0)
        obus.remove(0, 2);
    EXPECT_FALSE(obus.isEmpty());
    // av1C: version 1, profile 0 at the level of any size, 8-bit 4:2:0.
    const LWHeifCraft::Coded coded{LWHeifCraft::box("av1C", QByteArray::fromHex("811f0c00")), obus, true};
    LWHeifCraft::Layout single;
    single.tile = QSize(w, h);
    return LWHeifCraft::craft(coded, single);
}

// A HEIC grid of tiles x265 coded (tile size on each side), each tile an item of its own as a
// camera writes them; the tiles of one quarter share the bytes of one coded image.
inline QByteArray heicGrid(int w, int h, int tile)
{
    using namespace LWHeifCraft;
    const int columns = (w + tile - 1) / tile, rows = (h + tile - 1) / tile, count = rows * columns;
    QList<Coded> coded;
    for (const QColor &c : quarters)
        coded.append(codedOf(LWTestPictures::heic(LWTestPictures::plain(tile, tile, c))));
    const auto quarterOf = [&](int i) { return (2 * (i / columns) >= rows ? 2 : 0) + (2 * (i % columns) >= columns ? 1 : 0); };
    const quint16 grid = quint16(count + 1);
    auto infe = [](quint16 id, const char *type) {
        return fullBox("infe", 2, be(id, 2) + be(0, 2) + type + QByteArray(1, '\0'));
    };
    auto ispe = [](QSize s) { return fullBox("ispe", 0, be(s.width(), 4) + be(s.height(), 4)); };
    // Properties: 1 the tile size, 2 to 5 each quarter's configuration, 6 the canvas.
    QByteArray ipco = ispe(QSize(tile, tile));
    for (const Coded &c : coded)
        ipco += c.config;
    ipco += ispe(QSize(w, h));
    QByteArray iinf = be(count + 1, 2), ipma, dimg = be(grid, 2) + be(count, 2);
    for (int i = 0; i < count; ++i) {
        iinf += infe(quint16(i + 1), "hvc1");
        ipma += be(i + 1, 2) + be(2, 1) + be(0x81, 1) + be(0x80 | (2 + quarterOf(i)), 1);
        dimg += be(i + 1, 2);
    }
    iinf += infe(grid, "grid");
    ipma += be(grid, 2) + be(1, 1) + be(0x86, 1);
    const QByteArray gridData = be(0, 2) + be(rows - 1, 1) + be(columns - 1, 1) + be(w, 2) + be(h, 2);
    const QByteArray ftyp = box("ftyp", QByteArray("heic") + be(0, 4) + "mif1heicmiaf");
    // Each tile has bytes of its own, as an encoder writes them (the same colour's are alike).
    auto meta = [&](quint32 at) {
        QByteArray iloc = be(0x4400, 2) + be(count + 1, 2);
        for (int i = 0; i < count; ++i) {
            const qsizetype size = coded[quarterOf(i)].data.size();
            iloc += be(i + 1, 2) + be(0, 2) + be(1, 2) + be(at, 4) + be(size, 4);
            at += quint32(size);
        }
        iloc += be(grid, 2) + be(0, 2) + be(1, 2) + be(at, 4) + be(gridData.size(), 4);
        const QByteArray body = fullBox("hdlr", 0, be(0, 4) + "pict" + be(0, 12) + QByteArray(1, '\0')) +
                                fullBox("pitm", 0, be(grid, 2)) + fullBox("iloc", 0, iloc) +
                                fullBox("iinf", 0, iinf) + fullBox("iref", 0, box("dimg", dimg)) +
                                box("iprp", box("ipco", ipco) + fullBox("ipma", 0, be(count + 1, 4) + ipma));
        return fullBox("meta", 0, body);
    };
    QByteArray data;
    for (int i = 0; i < count; ++i)
        data += coded[quarterOf(i)].data;
    const quint32 at = quint32(ftyp.size() + meta(0).size() + 8);
    return ftyp + meta(at) + box("mdat", data + gridData);
}

// The quarter colour of a grid picture at (fx, fy): quarters fall on whole tiles.
inline QColor gridQuarterAt(double fx, double fy, QSize size, int tile)
{
    const int columns = (size.width() + tile - 1) / tile, rows = (size.height() + tile - 1) / tile;
    const int c = int(fx * size.width()) / tile, r = int(fy * size.height()) / tile;
    return quarters[(2 * r >= rows ? 2 : 0) + (2 * c >= columns ? 1 : 0)];
}

} // namespace LWBigPhotos
