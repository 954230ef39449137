// The device search on the loopback interface against 50 simulated devices (127.0.0.2 to
// 127.0.0.51, one device port): how long until every device is listed with its configuration,
// median of 10 searches, and the process CPU time per wall time over a whole 1 s window.
// The last line reads "search_50_ms=<median> cpu_per_wall=<ratio>".

#include "link/discover.h"
#include "bench_support.h"
#include "sim/udp_device.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{

bool complete(const DeviceSearch& s, size_t count)
{
    return s.devices().size() == count &&
           std::all_of(s.devices().begin(), s.devices().end(),
                       [](const FoundDevice& d) { return d.haveConfig; });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    constexpr int kDevices = 50;
    const quint16 devicePort = freePort();
    const quint16 replyPort = freePort();
    std::vector<std::unique_ptr<SimUdpDevice>> sims;
    for (int i = 0; i < kDevices; ++i) {
        auto sim = std::make_unique<SimUdpDevice>();
        sim->setAddress({127, 0, 0, quint8(2 + i)});
        sim->setDevicePort(devicePort);
        sim->setReplyPort(replyPort);
        sim->setMac({0x00, 0x1A, 0x2B, 0x3C, 0x4D, quint8(i)});
        QString error;
        if (!sim->start(&error)) {
            std::fprintf(stderr, "simulator %d: %s\n", i, qPrintable(error));
            return 1;
        }
        sims.push_back(std::move(sim));
    }
    SearchOptions options;
    options.interfaces = {QStringLiteral("lo")};
    options.devicePort = devicePort;
    options.replyPort = replyPort;

    std::vector<double> ms;
    int incomplete = 0;
    for (int run = 0; run < 10; ++run) {
        DeviceSearch search;
        QEventLoop loop;
        QElapsedTimer t;
        QObject::connect(&search, &DeviceSearch::finished, &loop, &QEventLoop::quit);
        QObject::connect(&search, &DeviceSearch::deviceChanged, &search, [&] {
            if (complete(search, kDevices))
                search.stop();
        });
        options.windowMs = 10000;
        t.start();
        if (search.start(options))
            loop.exec();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        incomplete += complete(search, kDevices) ? 0 : 1;
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("devices=%d searches=10 incomplete=%d all_listed_ms median=%.1f max=%.1f\n",
                kDevices, incomplete, median, ms.back());

    // A whole window, as the operator's search runs.
    DeviceSearch search;
    QEventLoop loop;
    QObject::connect(&search, &DeviceSearch::finished, &loop, &QEventLoop::quit);
    options.windowMs = 1000;
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    if (search.start(options))
        loop.exec();
    const double wallS = double(wall.nsecsElapsed()) / 1e9;
    const double cpuPerWall = (cpuSeconds() - cpu0) / wallS;
    std::printf("window_s=%.3f listed=%zu\n", wallS, search.devices().size());
    std::printf("search_50_ms=%.1f cpu_per_wall=%.4f\n", median, cpuPerWall);
    return incomplete == 0 ? 0 : 1;
}
