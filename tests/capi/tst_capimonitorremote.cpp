// TCapiMonitor on the real libcapi20.so.3, pointed at the fake remote CAPI
// server on 127.0.0.1 through a temporary HOME/.capi20rc.

#include "testsupport/FakeRemoteCapi.h"

#include "capi/Capi.h"
#include "capi/CapiBinding.h"
#include "capi/CapiMessage.h"
#include "capi/CapiMonitor.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <unistd.h>

using namespace kalvendo;

namespace {

quint16 word(const QByteArray& b, int at) {
    return b.size() >= at + 2 ? quint16(quint8(b[at]) | quint8(b[at + 1]) << 8) : 0;
}

quint32 dword(const QByteArray& b, int at) {
    return word(b, at) | quint32(word(b, at + 2)) << 16;
}

// The next message of this command word the program sent; the event loop
// keeps running meanwhile, since the answers are made in this thread.
QByteArray sent(FakeRemoteCapi& server, quint16 commandWord) {
    QByteArray m;
    if (!QTest::qWaitFor([&] { return !(m = server.waitForMessage(commandWord, 0)).isEmpty(); },
                         10000)) {
        qWarning("no message 0x%04x from the program", commandWord);
    }
    return m;
}

} // namespace

class TestCapiMonitorRemote : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void traceSilencedUnlessAsked();
    void offeredCallIsIgnoredAndReported();
    void serverDropsMidCall();

private:
    QTemporaryDir m_home;
    // Parallel test processes share the library's ApplID table; keep clear
    // of the ApplID the binding test's server hands out.
    FakeRemoteCapi m_server{quint16(1 + (getpid() + 500) % 1000)};
    std::unique_ptr<TCapiMonitor> m_monitor;
    QStringList m_events;
};

void TestCapiMonitorRemote::initTestCase() {
    KALVENDO_START_FAKE_REMOTE_CAPI(m_server, m_home);
    QCOMPARE(CapiState(), CapiStateInstalled);
}

void TestCapiMonitorRemote::init() {
    m_events.clear();
    m_monitor = std::make_unique<TCapiMonitor>();
    m_monitor->OnStateChange = [this](bool canReject, bool canChange) {
        m_events << QStringLiteral("state %1 %2").arg(int(canReject)).arg(int(canChange));
    };
    m_monitor->OnIncomingCall = [this](const QString& caller, const QString& called, quint16 cip,
                                       const QString& cipText) {
        m_events << QStringLiteral("call %1|%2|%3|%4").arg(caller, called).arg(cip).arg(cipText);
    };
    m_monitor->OnDoResetCapi = [this](TCapiMonitor*) { m_events << QStringLiteral("reset"); };
}

void TestCapiMonitorRemote::cleanup() {
    m_monitor.reset();
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 0);
}

void TestCapiMonitorRemote::traceSilencedUnlessAsked() {
    // Without any configuration file the library traces to stderr by default.
    const QString probe = QFile::decodeName(qgetenv("KALVENDO_CAPI_PROBE"));
    QVERIFY(!probe.isEmpty());
    QTemporaryDir emptyHome;
    for (const bool asked : {false, true}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), emptyHome.path());
        env.remove(QStringLiteral("KALVENDO_CAPI_LIBRARY"));
        env.remove(QStringLiteral("KALVENDO_CAPI_TRACE"));
        if (asked) {
            env.insert(QStringLiteral("KALVENDO_CAPI_TRACE"), QStringLiteral("1"));
        }
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(probe, QStringList());
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
                 QStringLiteral("CAPI 2.0 (32 Bit) not installed.\n"));
        QCOMPARE(p.readAllStandardError().contains("CapiDebug"), asked);
    }
}

void TestCapiMonitorRemote::offeredCallIsIgnoredAndReported() {
    QVERIFY(m_monitor->Activate(1, 0));
    const QByteArray listen = sent(m_server, 0x0580);
    QCOMPARE(listen.size(), 29);
    QCOMPARE(listen.mid(8).toHex(), QByteArray("010000007f000000fe03ff1f00000000020080"
                                               "0180"));
    QTRY_COMPARE(m_events, (QStringList{QStringLiteral("state 0 1"), QStringLiteral("state 0 1")}));
    QCOMPARE(m_monitor->Error(), 0u);

    QVERIFY(m_server.offerCall(0x101, 1, QByteArray::fromHex("8134373131"),
                               QByteArray::fromHex("2180333031323334353637")));
    const QByteArray answer = sent(m_server, 0x0283);
    QCOMPARE(answer.size(), 19);
    QCOMPARE(dword(answer, 8), 0x101u);
    QCOMPARE(word(answer, 12), quint16(1));
    QTRY_VERIFY(m_events.contains(QStringLiteral("call 0301234567|4711|1|speech")));

    // The server clears the ignored call; the application answers it.
    const QByteArray disconnectResp = sent(m_server, 0x0483);
    QCOMPARE(disconnectResp.size(), 12);
    QCOMPARE(dword(disconnectResp, 8), 0x101u);
    QTRY_VERIFY(m_events.contains(QStringLiteral("reset")));

    m_monitor.reset();
    QVERIFY(m_server.waitForRelease(10000));
    // Control and application connection are both closed.
    QVERIFY(m_server.waitForConnectionCount(0, 10000));
}

void TestCapiMonitorRemote::serverDropsMidCall() {
    m_monitor->setRejectTimerInterval(3600 * 1000);
    QVERIFY(m_monitor->Activate(1, 5));
    QVERIFY(!sent(m_server, 0x0580).isEmpty());
    QVERIFY(m_server.offerCall(0x201, 1, QByteArray::fromHex("8134373131"),
                               QByteArray::fromHex("2180333031323334353637")));
    QVERIFY(!sent(m_server, 0x0180).isEmpty()); // alerting: the call is in progress

    m_server.dropApplication();
    QTRY_COMPARE(m_monitor->Error(), 0x1108u);
    QCOMPARE(m_monitor->ErrorString(),
             QStringLiteral("OS Resource error (e.g. no memory) ($1108)"));
    QCOMPARE(m_events.last(), QStringLiteral("state 0 0"));
    QTRY_COMPARE(TCapiCallBack::RunningCount(), 0);

    // Still responsive: the event loop runs, and releasing does not hang.
    bool fired = false;
    QTimer::singleShot(0, this, [&] { fired = true; });
    QTRY_VERIFY(fired);
    QElapsedTimer t;
    t.start();
    m_monitor.reset();
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
}

QTEST_GUILESS_MAIN(TestCapiMonitorRemote)
#include "tst_capimonitorremote.moc"
