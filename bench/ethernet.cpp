// The Ethernet link against the simulated device on a loopback address:
//  - connect plus read (two connection commands, the version check, the configuration
//    block), median of 50 connections;
//  - the process CPU time per wall time while one datagram waits 2 s for a silent device.
// The last line reads "connect_read_ms=<median> cpu_per_wall=<ratio>".

#include "bench_support.h"
#include "config/program.h"
#include "link/ethr_conffun.h"
#include "sim/udp_device.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    NoOperator op;
    InstallOperator(&op);
    const IpAddress address = {127, 0, 0, 2};

    SimUdpDevice sim;
    const quint16 replyPort = freePort();
    sim.setAddress(address);
    sim.setDevicePort(0);
    sim.setReplyPort(replyPort);
    QString error;
    if (replyPort == 0 || !sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    Program().ethTimeout = 50;

    const int kConnections = 50;
    std::vector<double> ms;
    int failures = 0;
    for (int i = 0; i < kConnections; ++i) {
        LinkContext ctx;
        InitLinkContext(ctx);
        ctx.devicePort = sim.devicePort();
        ctx.localPort = replyPort;
        QElapsedTimer t;
        t.start();
        if (!ConnectEthernet(ctx, address))
            ++failures;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        ReleaseLink(ctx);
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("connections=%d failures=%d connect_read_ms median=%.3f p95=%.3f max=%.3f\n",
                kConnections, failures, median, ms[ms.size() * 95 / 100], ms.back());

    // One datagram waiting 2 s for a device that never answers.
    LinkContext ctx;
    InitLinkContext(ctx);
    ctx.devicePort = sim.devicePort();
    ctx.localPort = replyPort;
    if (!ConnectEthernet(ctx, address)) {
        std::fprintf(stderr, "no connection for the silent wait\n");
        return 1;
    }
    SimUdpFaults silent;
    silent.silent = true;
    sim.setFaults(silent);
    ctx.attemptCount = 1;
    ctx.replyTimeout = 2'000'000; // µs
    const ConfigBlock request{};
    QElapsedTimer wall;
    const double cpu0 = cpuSeconds();
    wall.start();
    ExchangeDatagram(ctx, request.data(), kDatagramSize);
    const double wallS = double(wall.nsecsElapsed()) / 1e9;
    const double cpuPerWall = (cpuSeconds() - cpu0) / wallS;
    std::printf("silent device: result=%d wall_s=%.3f\n", ctx.resultCode, wallS);

    std::printf("connect_read_ms=%.3f cpu_per_wall=%.4f\n", median, cpuPerWall);
    InstallOperator(nullptr);
    return 0;
}
