#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

namespace kalvendo {

// The point where both sources of incoming calls (the CAPI monitor and the
// router's call monitor) meet: each call is passed on once. A call that the
// other source reported within 2 s with the same caller is the same call and
// is dropped. Numbers are sanitised on the way through.
//
//   monitor->OnIncomingCall = calls.input(CallDeduplicator::Capi);
//   client->OnIncomingCall = calls.input(CallDeduplicator::CallMonitor);
//   calls.OnIncomingCall = <the one handler>;
class CallDeduplicator {
public:
    enum Source { Capi, CallMonitor };
    using Handler =
        std::function<void(const QString& CallingPartyNumber, const QString& CalledPartyNumber,
                           quint16 CipValue, const QString& CipValueString)>;

    static constexpr qint64 kWindowMs = 2000;

    Handler OnIncomingCall;

    // sameCaller: the form two reports of one caller are compared in; by
    // default the digits without leading zeros (so the CAPI monitor's
    // "041..." and the router's "0041..." for one Swiss caller agree).
    // now: a monotonic clock in ms (tests step it by hand).
    explicit CallDeduplicator(std::function<QString(const QString&)> sameCaller = {},
                              std::function<qint64()> now = {});

    // The event handler to give to the source.
    Handler input(Source source);
    // One report; true when it was passed on.
    bool report(Source source, const QString& caller, const QString& called, quint16 cip,
                const QString& cipText);

    static QString defaultCallerForm(const QString& number);
    // Equal, or one ends with the other of at least kMinSuffix characters.
    static bool sameForm(const QString& a, const QString& b);
    static constexpr qsizetype kMinSuffix = 6;

private:
    struct Seen {
        Source source;
        QString caller;
        qint64 at;
    };
    std::function<QString(const QString&)> m_sameCaller;
    std::function<qint64()> m_now;
    std::vector<Seen> m_recent;
};

} // namespace kalvendo
