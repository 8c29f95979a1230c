#pragma once

// Helpers for tests that run the CAPI application against the simulated
// driver: messages are queued as the driver would, the program's answers are
// read back as one-line descriptions. The main thread must keep processing
// events (QTRY_*) for the message thread's hand-over to run.

#include "CapiSimControl.h"

#include "capi/Capi.h"
#include "capi/CapiBinding.h"
#include "capi/CapiMessage.h"

#include <QStringList>
#include <QTest>

#include <memory>

namespace simtest {

using namespace kalvendo;

inline std::unique_ptr<TStruct> empty() {
    return TStruct::CreateEmpty();
}

// Replaces the driver the process uses (one binding per process).
inline void useLibrary(const QByteArray& file) {
    UnloadCapi();
    qputenv("KALVENDO_CAPI_LIBRARY", file);
    LoadCapi();
}

inline QByteArray bytes(std::unique_ptr<TCapiMessage> m) {
    return m->EncodedBytes();
}

// A call as the fake remote server and a real exchange offer it: called
// "4711", calling party with the given octet and digits (no struct at all
// when typeOfNumber is negative).
inline QByteArray connectInd(quint32 plci, int typeOfNumber = 0x21,
                             const QString& digits = QStringLiteral("301234567"), quint16 cip = 1) {
    auto calling = typeOfNumber < 0
                       ? std::make_unique<TCallingPartyNumber>()
                       : std::make_unique<TCallingPartyNumber>(quint8(typeOfNumber), 0x80, digits);
    return bytes(std::make_unique<TConnectInd>(
        plci, cip, std::make_unique<TCallingPartySubAddress>(0x81, QStringLiteral("4711")),
        std::move(calling)));
}

inline QString describeOutgoing(const QByteArray& message) {
    return message.isEmpty() ? QString() : DecodeOutgoingCapiMessage(message)->Describe();
}

// Descriptions of what the program has put from index `from` on.
inline QStringList putsFrom(const CapiSimControl& sim, unsigned from) {
    QStringList out;
    for (unsigned i = from; i < sim.putCount(); ++i) {
        out << describeOutgoing(sim.put(i));
    }
    return out;
}

inline QString lastPut(const CapiSimControl& sim) {
    const unsigned n = sim.putCount();
    return n == 0 ? QString() : describeOutgoing(sim.put(n - 1));
}

} // namespace simtest
