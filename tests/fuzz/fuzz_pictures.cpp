// Picture bytes as a design file holds them: probed, sized and decoded at both sizes and in part
// in this process, as a decode worker decodes them, which must end soon within the decode limit
// whatever the bytes (libFuzzer's malloc limit catches any allocation past it).
#include "model/image.h"
#include "render/pictures/imagecache.h"
#include "render/pictures/picturedecoder.h"
#include "render/pictures/jpegprobe.h"

#include "guiapp.h"

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    startGuiApplication(*argv); // Qt's image readers need one
    // Every input is a new picture: keep none of them.
    (void)LWImageCache::setBudget({0, 0});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LWImage picture = LWImage::empty(); // a new asset id each time
    picture.data = QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)LWPictureDecoder::headerHere(*picture.data); // what a worker answers the program
    (void)LWJpegProbe::passable(*picture.data);
    (void)LWImageCache::pixelSize(picture);
    (void)LWPictureDecoder::decodeHere(*picture.data, {LWImageCache::previewMaxPixels, {0, 0, 1, 1}});
    (void)LWPictureDecoder::decodeHere(*picture.data, {0, {0, 0, 1, 1}});
    (void)LWPictureDecoder::decodeHere(*picture.data, {0, {0.25, 0.5, 0.5, 0.25}});
    return 0;
}
