// Times an offered call from the driver queuing its CONNECT_IND to the
// CONNECT_RESP being put, through the monitor (message thread, hand-over to
// the main thread, decoding, answer), against the simulated driver. The
// baseline in the same run is the bare driver round trip: a plain thread that
// fetches the message and puts a ready-made answer.
//
//   bench_capimonitor [calls]

#include "CapiSimControl.h"

#include "capi/Capi.h"
#include "capi/CapiBinding.h"
#include "capi/CapiMessage.h"
#include "capi/CapiMonitor.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

using namespace kalvendo;

namespace {

unsigned long long nowNs() {
    return static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                               std::chrono::steady_clock::now().time_since_epoch())
                                               .count());
}

QByteArray connectInd(quint32 plci) {
    return TConnectInd(
               plci, 1, std::make_unique<TCallingPartySubAddress>(0x81, QStringLiteral("4711")),
               std::make_unique<TCallingPartyNumber>(0x21, 0x80, QStringLiteral("301234567")))
        .EncodedBytes();
}

// Runs the event loop until the driver has recorded `count` puts.
void waitForPuts(const CapiSimControl& sim, unsigned count) {
    while (sim.putCount() < count) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

struct Figures {
    double median = 0;
    double p99 = 0;
};

Figures figures(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[std::min(us.size() - 1, us.size() * 99 / 100)]};
}

std::vector<double> monitorRun(const CapiSimControl& sim, int calls) {
    TCapiMonitor monitor;
    if (!monitor.Activate(1, 0)) {
        std::fprintf(stderr, "Activate failed: %s\n", qPrintable(monitor.ErrorString()));
        std::exit(1);
    }
    const unsigned applId = monitor.Capi()->ApplID();
    std::vector<double> us;
    for (int i = 0; i < calls; ++i) {
        const quint32 plci = 0x101 + quint32(i % 0x7F) * 0x100;
        const unsigned index = sim.putCount();
        const unsigned long long t0 = nowNs();
        sim.queue(applId, connectInd(plci));
        waitForPuts(sim, index + 1);
        us.push_back(double(sim.putTime(index) - t0) / 1000.0);
        sim.queue(applId, TDisconnectInd(plci, 0x3490).EncodedBytes());
        waitForPuts(sim, index + 2);
    }
    return us;
}

std::vector<double> baselineRun(const CapiSimControl& sim, int calls) {
    unsigned applId = 0;
    if (CapiRegister(1, 2, 128, &applId) != 0) {
        std::fprintf(stderr, "register failed\n");
        std::exit(1);
    }
    std::atomic<bool> stop{false};
    std::thread answerer([&] {
        QByteArray message;
        TConnectResp resp(0x101, 1, std::make_unique<TBProtocol>(),
                          std::make_unique<TCallingPartyNumber>(),
                          std::make_unique<TCallingPartySubAddress>(), TStruct::CreateEmpty(),
                          TStruct::CreateEmpty());
        resp.Header().ApplID = quint16(applId);
        const QByteArray answer = resp.EncodedBytes();
        while (!stop.load()) {
            if (CapiFetchMessage(applId, -1, &message, &stop) == 0) {
                CapiPutMessage(applId, answer.constData(), size_t(answer.size()));
            }
        }
    });
    std::vector<double> us;
    const QByteArray ind = connectInd(0x101);
    for (int i = 0; i < calls; ++i) {
        const unsigned index = sim.putCount();
        const unsigned long long t0 = nowNs();
        sim.queue(applId, ind);
        if (!sim.waitForPuts(index + 1, 10000)) {
            std::fprintf(stderr, "baseline: no answer\n");
            std::exit(1);
        }
        us.push_back(double(sim.putTime(index) - t0) / 1000.0);
    }
    stop.store(true);
    answerer.join();
    CapiRelease(applId);
    return us;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("KALVENDO_CAPI_LIBRARY")) {
        qputenv("KALVENDO_CAPI_LIBRARY", KALVENDO_CAPISIM_FILE);
    }
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::max(10, atoi(argv[1])) : 1000;

    CapiSimControl sim;
    if (!sim.isValid()) {
        std::fprintf(stderr, "cannot open the simulated driver\n");
        return 1;
    }
    sim.reset();
    sim.setAutoConfirm(0);
    LoadCapi();

    monitorRun(sim, 50); // warm-up
    const Figures base = figures(baselineRun(sim, calls));
    const Figures mon = figures(monitorRun(sim, calls));

    std::printf("CONNECT_IND queued -> CONNECT_RESP put, %d calls (microseconds)\n", calls);
    std::printf("  %-34s median %8.1f   p99 %8.1f\n", "baseline (thread, no hand-over)",
                base.median, base.p99);
    std::printf("  %-34s median %8.1f   p99 %8.1f\n", "monitor (hand-over, decode, answer)",
                mon.median, mon.p99);
    std::printf("  ratio monitor/baseline: median %.2f, p99 %.2f\n", mon.median / base.median,
                mon.p99 / base.p99);
    std::printf("  target median < 1000 us: %s\n", mon.median < 1000.0 ? "met" : "NOT met");
    return 0;
}
