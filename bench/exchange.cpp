// Serial exchange against the simulated device over a pseudo-terminal:
//  - the mean time per command above what the protocol itself makes it wait (the 2 ms RTS
//    lead and the transmission time of the frame), over 200 commands;
//  - the process CPU time per wall time while one command waits 2 s for a silent device.
// The last line reads "cpu_per_wall=<ratio> overhead_ms=<mean>".

#include "bench_support.h"
#include "config/profile.h"
#include "config/program.h"
#include "link/comportfunctions.h"
#include "link/qelbox.h"
#include "sim/serial_device.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

bool openLink(LinkContext& ctx, SimSerialDevice& sim, const QString& settings)
{
    IniFile ini;
    ini.setValue("COM_PORTS", "COM1", QFile::encodeName(sim.slavePath()));
    if (!ini.save(settings))
        return false;
    InitLinkContext(ctx);
    ComOpenError error;
    ctx.port = OpenComPort(1, 9600, 8, 0, 0, 1000, 1000, true, false, &error);
    if (!ctx.port)
        std::fprintf(stderr, "open: %s\n", qPrintable(error.text()));
    return bool(ctx.port);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    NoOperator op;
    InstallOperator(&op);
    QTemporaryDir dir;
    Program().settingsPath = dir.path() + QStringLiteral("/qel_conn.ini");

    SimSerialDevice sim;
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    LinkContext ctx;
    if (!openLink(ctx, sim, Program().settingsPath))
        return 1;

    // Commands of each reply length, with and without data.
    struct Command {
        quint8 code;
        std::vector<quint8> data;
    };
    const Command mix[] = {{0x01, {}},
                           {0x81, {}},
                           {0x64, {}},
                           {0x72, {}},
                           {0x61, {}},
                           {0x10, {1}},
                           {0x11, {192, 168, 1, 10}}};
    for (int i = 0; i < 10; ++i)
        ExecCommand(ctx, 0x01);

    const int kCommands = 200;
    std::vector<double> overheadMs;
    overheadMs.reserve(kCommands);
    int failures = 0;
    for (int i = 0; i < kCommands; ++i) {
        const Command& c = mix[size_t(i) % (sizeof mix / sizeof mix[0])];
        QElapsedTimer t;
        t.start();
        if (!ExecCommand(ctx, c.code, c.data.data(), int(c.data.size())))
            ++failures;
        const qint64 took = t.nsecsElapsed();
        const qint64 mandated =
            kRtsLeadNs + TransmissionTimeNs(int(3 + c.data.size()), ctx.baudRate);
        overheadMs.push_back(double(took - mandated) / 1e6);
        if (qEnvironmentVariableIsSet("BENCH_DETAIL") && took - mandated > 1'000'000) {
            const ExchangeTrace& tr = ctx.trace;
            std::printf("slow %02X: took=%.3f rtsUp=%.3f lead=%.3f down-late=%.3f first=%.3f "
                        "last=%.3f end=%.3f\n",
                        c.code, took / 1e6, tr.rtsUp / 1e6, (tr.writeStart - tr.rtsUp) / 1e6,
                        (tr.rtsDown - tr.transmitEnd) / 1e6,
                        tr.bytes.isEmpty() ? -1.0 : (tr.bytes.first() - tr.rtsDown) / 1e6,
                        tr.bytes.isEmpty() ? -1.0 : (tr.bytes.last() - tr.rtsDown) / 1e6,
                        (tr.end - tr.rtsDown) / 1e6);
        }
    }
    double sum = 0;
    for (double v : overheadMs)
        sum += v;
    const double mean = sum / double(overheadMs.size());
    std::sort(overheadMs.begin(), overheadMs.end());
    std::printf("commands=%d failures=%d overhead_ms mean=%.3f median=%.3f p95=%.3f max=%.3f\n",
                kCommands, failures, mean, overheadMs[overheadMs.size() / 2],
                overheadMs[overheadMs.size() * 95 / 100], overheadMs.back());

    // One command waiting 2 s for a device that never answers.
    SimSerialFaults silent;
    silent.silent = true;
    sim.setFaults(silent);
    ctx.attemptCount = 1;
    ctx.replyTimeout = 2000;
    QElapsedTimer wall;
    const double cpu0 = cpuSeconds();
    wall.start();
    ExecCommand(ctx, 0x01);
    const double wallS = double(wall.nsecsElapsed()) / 1e9;
    const double cpuPerWall = (cpuSeconds() - cpu0) / wallS;
    std::printf("silent device: result=%d wall_s=%.3f cpu_s=%.4f\n", ctx.resultCode, wallS,
                cpuPerWall * wallS);

    // The device end vanishing while a command waits: it must end, without spinning.
    QTimer::singleShot(200, [&] { sim.closeMaster(); });
    const double cpu1 = cpuSeconds();
    wall.restart();
    ExecCommand(ctx, 0x01);
    const double vanishWall = double(wall.nsecsElapsed()) / 1e9;
    std::printf("vanished device: result=%d wall_s=%.3f cpu_per_wall=%.3f\n", ctx.resultCode,
                vanishWall, (cpuSeconds() - cpu1) / vanishWall);

    std::printf("cpu_per_wall=%.4f overhead_ms=%.3f\n", cpuPerWall, mean);
    InstallOperator(nullptr);
    return 0;
}
