#pragma once
// Large JPEGs made without holding their pixels: for tests and benchmarks.
#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <jpeglib.h>
#include <vector>

namespace LWBigPhotos {

// A baseline JPEG (quality 85) written row by row, each RGB row made by `fill`: no image of its
// size is ever held.
inline QByteArray jpegOfRows(int w, int h, const std::function<void(int y, uchar *row)> &fill)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(w);
    info.image_height = JDIMENSION(h);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 85, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uchar> row(size_t(w) * 3);
    for (int y = 0; y < h; ++y) {
        fill(y, row.data());
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char *>(out), qsizetype(size));
    free(out);
    return bytes;
}

} // namespace LWBigPhotos
