// What a decode worker costs: the wall time of a small picture's decode in a freshly started
// worker (its start and set-up included) and in a worker already running, and of an HEIC (whose
// decoder starts a thread) in a running one. Prints the median of each in milliseconds.
#include "render/pictures/picturedecoder.h"
#include "render/worker/decodeworkers.h"
#include "support/testpictures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray png = LWTestPictures::encode(LWTestPictures::plain(64, 64, Qt::red), "png");
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const auto timed = [&] {
        QElapsedTimer t;
        t.start();
        const bool ok = LWDecodeWorkers::decode(png, {}, qint64(64) * 64 * 4, QSize(64, 64)).image.has_value();
        return ok ? double(t.nsecsElapsed()) / 1e6 : -1.0;
    };
    std::vector<double> fresh, reused;
    for (int i = 0; i < 40; ++i) {
        LWDecodeWorkers::setForTests({}, 0, 0); // every worker ended: the next decode starts one
        fresh.push_back(timed());
        reused.push_back(timed());
    }
    // An HEVC decoder starts a thread for each picture.
    const QByteArray heic = LWTestPictures::heic(LWTestPictures::twoTone(640, 480));
    std::vector<double> heics;
    for (int i = 0; i < 40; ++i) {
        QElapsedTimer t;
        t.start();
        const bool ok = LWDecodeWorkers::decode(heic, {}, qint64(640) * 480 * 8, QSize(640, 480)).image.has_value();
        heics.push_back(ok ? double(t.nsecsElapsed()) / 1e6 : -1.0);
    }
    std::printf("fresh worker %.2f ms, running worker %.2f ms, HEIC 640 x 480 in a running worker %.2f ms (median of %zu)\n",
                median(fresh), median(reused), median(heics), fresh.size());
}
