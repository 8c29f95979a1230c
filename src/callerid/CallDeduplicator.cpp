#include "callerid/CallDeduplicator.h"

#include "callerid/NumberText.h"

#include <QElapsedTimer>

#include <algorithm>

namespace kalvendo {

CallDeduplicator::CallDeduplicator(std::function<QString(const QString&)> sameCaller,
                                   std::function<qint64()> now)
    : m_sameCaller(std::move(sameCaller)), m_now(std::move(now)) {
    if (!m_sameCaller)
        m_sameCaller = &CallDeduplicator::defaultCallerForm;
    if (!m_now) {
        m_now = []() {
            static QElapsedTimer clock;
            if (!clock.isValid())
                clock.start();
            return clock.elapsed();
        };
    }
}

QString CallDeduplicator::defaultCallerForm(const QString& number) {
    QString digits;
    for (const QChar c : number) {
        if (c.isDigit())
            digits.append(QChar(u'0' + c.digitValue()));
    }
    qsizetype zeros = 0;
    while (zeros < digits.size() && digits.at(zeros) == u'0')
        ++zeros;
    return digits.mid(zeros);
}

bool CallDeduplicator::sameForm(const QString& a, const QString& b) {
    if (a == b)
        return true;
    // One source may write the country code where the other writes none
    // ("49301234567" and "301234567"): the same subscriber number at the end.
    const QString& shorter = a.size() < b.size() ? a : b;
    const QString& longer = a.size() < b.size() ? b : a;
    return shorter.size() >= kMinSuffix && longer.endsWith(shorter);
}

CallDeduplicator::Handler CallDeduplicator::input(Source source) {
    return [this, source](const QString& caller, const QString& called, quint16 cip,
                          const QString& cipText) { report(source, caller, called, cip, cipText); };
}

bool CallDeduplicator::report(Source source, const QString& caller, const QString& called,
                              quint16 cip, const QString& cipText) {
    const QString cleanCaller = sanitizeNumberText(caller);
    const QString cleanCalled = sanitizeNumberText(called);
    const qint64 now = m_now();
    std::erase_if(m_recent, [now](const Seen& s) { return now - s.at > kWindowMs; });
    // A withheld number has no form to compare: an empty one matches only another.
    const QString form = cleanCaller.isEmpty() ? QString() : m_sameCaller(cleanCaller);
    const auto twin = std::find_if(m_recent.begin(), m_recent.end(), [&](const Seen& s) {
        return s.source != source && sameForm(s.caller, form);
    });
    if (twin != m_recent.end()) {
        // Each report of one source pairs with one of the other, so a third
        // call within the window is announced again.
        m_recent.erase(twin);
        return false;
    }
    m_recent.push_back({source, form, now});
    if (OnIncomingCall)
        OnIncomingCall(cleanCaller, cleanCalled, cip, cipText);
    return true;
}

} // namespace kalvendo
