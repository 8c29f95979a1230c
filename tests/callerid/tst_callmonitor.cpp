// The router's call monitor as a second source of incoming calls: a fake
// router on 127.0.0.1 feeds the real client, whose RINGs go through the same
// handler as the CAPI monitor's calls (which the simulated driver offers).

#include "FakeCallMonitor.h"

#include "addressbook/AddressTable.h"
#include "callerid/CallDeduplicator.h"
#include "callerid/CallMonitorClient.h"
#include "callerid/CallNotice.h"
#include "capi/CapiMonitor.h"
#include "capi/CapiSimFixture.h"
#include "common/IniFile.h"
#include "testsupport/AppFolder.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

const CallNoticeTexts kGerman{QStringLiteral("Anruf von:"), QStringLiteral("an:"),
                              QStringLiteral("Nummer unbekannt!")};
const QDateTime kWhen(QDate(2026, 12, 11), QTime(9, 5, 7));
const QString kPrefix = QStringLiteral("11.12.2026 / 09:05:07  -   Anruf von:  ");

QByteArray ring(const char* caller, const char* called = "4711") {
    return QByteArray("11.12.26 09:05:07;RING;0;") + caller + ';' + called + ";SIP0;\r\n";
}

// The program's side of a call: the table, the notice handler and what it showed.
struct Program {
    AppFolder folder;
    QTemporaryDir logDir;
    AddressTable table;
    QStringList shown;

    Program() {
        folder.write(QStringLiteral("ab.ini"),
                     "[preferences]\r\nisdnpath=" + logDir.path().toUtf8() + "\r\n");
        folder.addRecord({{fName, "Adler"}, {fVorname, "Anna"}, {fTsuche, "0301234567"}});
        folder.addRecord({{fName, "Berg"}, {fVorname, "Bernd"}, {fHsuche, "0171999"}});
        table.connectFolder(folder.data());
        table.open();
        table.last();
    }
    // The handler of both sources.
    void handle(const QString& caller, const QString& called) {
        IncomingCall call(table, folder.dataFile(QStringLiteral("ab.ini")), kGerman,
                          {[this](const QString& s) { shown << s; }, {}});
        call.handle(caller, called, kWhen);
    }
    CallDeduplicator::Handler handler() {
        return [this](const QString& caller, const QString& called, quint16, const QString&) {
            handle(caller, called);
        };
    }
    QByteArray log() const {
        QFile f(logDir.filePath(QStringLiteral("isdnlog.txt")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString pref(const char* key) const {
        return IniFile(folder.dataFile(QStringLiteral("ab.ini")))
            .readString(QStringLiteral("preferences"), QString::fromLatin1(key),
                        QStringLiteral("<none>"));
    }
};

// A client connected to a fake router.
struct Line {
    FakeCallMonitor router;
    CallMonitorClient client;
    QStringList calls;

    Line() {
        client.setRetryDelays(40, 200);
        client.OnIncomingCall = [this](const QString& caller, const QString& called, quint16 cip,
                                       const QString& cipText) {
            calls << QStringLiteral("%1|%2|%3|%4").arg(caller, called).arg(cip).arg(cipText);
        };
    }
    bool up() {
        if (!router.listen())
            return false;
        client.start(QStringLiteral("127.0.0.1"), router.port());
        return router.waitForClient() &&
               QTest::qWaitFor([this]() { return client.isConnected(); }, 5000);
    }
    // Sends and waits until the client has read everything up to a marker RING.
    bool sendAndSettle(const QByteArray& bytes) {
        const qsizetype before = calls.size();
        router.send(bytes + ring("999"));
        return QTest::qWaitFor([&]() { return calls.size() > before; }, 5000) &&
               calls.takeLast().startsWith(u"999|");
    }
};

} // namespace

class TestCallMonitor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parseLines_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("parsed"); // kind|id|caller|called, or empty

        QTest::newRow("ring") << QByteArray("24.12.26 18:00:01;RING;3;0301234567;4711;SIP0;")
                              << QStringLiteral("ring|3|0301234567|4711");
        QTest::newRow("ring with CR") << QByteArray("24.12.26 18:00:01;RING;0;0301;4711;SIP0;\r")
                                      << QStringLiteral("ring|0|0301|4711");
        QTest::newRow("ring without line field") << QByteArray("24.12.26 18:00:01;RING;0;0301;4711")
                                                 << QStringLiteral("ring|0|0301|4711");
        QTest::newRow("withheld") << QByteArray("24.12.26 18:00:01;RING;1;;4711;ISDN;")
                                  << QStringLiteral("ring|1||4711");
        QTest::newRow("call") << QByteArray("24.12.26 18:00:01;CALL;2;10;4711;0891234;SIP0;")
                              << QStringLiteral("call|2|4711|0891234");
        QTest::newRow("connect") << QByteArray("24.12.26 18:00:01;CONNECT;2;10;0891234;")
                                 << QStringLiteral("connect|2|0891234|");
        QTest::newRow("disconnect")
            << QByteArray("24.12.26 18:00:01;DISCONNECT;2;35;") << QStringLiteral("disconnect|2||");
        QTest::newRow("bidi override stripped from the number")
            << QByteArray("24.12.26 18:00:01;RING;0;030\xE2\x80\xAE"
                          "1234;4711;")
            << QStringLiteral("ring|0|0301234|4711");
        QTest::newRow("unknown kind")
            << QByteArray("24.12.26 18:00:01;HANGUP;0;0301;4711;") << QString();
        QTest::newRow("kind in lower case")
            << QByteArray("24.12.26 18:00:01;ring;0;0301;4711;") << QString();
        QTest::newRow("ring short of fields")
            << QByteArray("24.12.26 18:00:01;RING;0;0301") << QString();
        QTest::newRow("call short of fields")
            << QByteArray("24.12.26 18:00:01;CALL;0;10;4711") << QString();
        QTest::newRow("id no number")
            << QByteArray("24.12.26 18:00:01;RING;x;0301;4711;") << QString();
        QTest::newRow("no date") << QByteArray(";RING;0;0301;4711;") << QString();
        QTest::newRow("seconds no number")
            << QByteArray("24.12.26 18:00:01;DISCONNECT;2;long;") << QString();
        QTest::newRow("NUL inside") << QByteArray("24.12.26 18:00:01;RING;0;03\0"
                                                  "01;4711;",
                                                  33)
                                    << QString();
        QTest::newRow("escape sequence")
            << QByteArray("24.12.26 18:00:01;RING;0;\x1b[2J;4711;") << QString();
        QTest::newRow("invalid UTF-8")
            << QByteArray("24.12.26 18:00:01;RING;0;03\xff\xfe;4711;") << QString();
        QTest::newRow("number over 64 characters")
            << QByteArray("24.12.26 18:00:01;RING;0;" + QByteArray(65, '7') + ";4711;")
            << QString();
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void parseLines() {
        QFETCH(QByteArray, line);
        QFETCH(QString, parsed);
        const auto ev = parseCallMonitorLine(line);
        if (parsed.isEmpty()) {
            QVERIFY2(!ev, qPrintable(ev ? ev->caller : QString()));
            return;
        }
        QVERIFY(ev);
        static const char* kinds[] = {"ring", "call", "connect", "disconnect"};
        QCOMPARE(QStringLiteral("%1|%2|%3|%4")
                     .arg(QString::fromLatin1(kinds[int(ev->kind)]))
                     .arg(ev->id)
                     .arg(ev->caller, ev->called),
                 parsed);
    }

    void ringIsTheSameCallAsCapi() {
        // The CAPI monitor on the simulated driver offers a national call...
        CapiSimControl sim;
        QVERIFY2(sim.isValid(), "the simulated driver is not loadable");
        sim.reset();
        if (CapiState() != CapiStateInstalled)
            simtest::useLibrary(qgetenv("KALVENDO_CAPI_LIBRARY"));
        Program capi;
        {
            TCapiMonitor monitor;
            monitor.OnIncomingCall = capi.handler();
            QVERIFY(monitor.Activate(1, 0));
            QCOMPARE(sim.queue(monitor.Capi()->ApplID(), simtest::connectInd(0x101)), 0);
            QTRY_COMPARE(capi.shown.size(), 1);
        }
        QTRY_COMPARE(TCapiCallBack::RunningCount(), 0);
        sim.reset();

        // ... and the router reports the same call.
        Program router;
        Line line;
        QVERIFY(line.up());
        line.client.OnIncomingCall = router.handler();
        line.router.send(ring("0301234567"));
        QTRY_COMPARE(router.shown.size(), 1);

        QCOMPARE(router.shown, capi.shown);
        QCOMPARE(router.shown.first(), kPrefix + QStringLiteral("Anna Adler  an:  4711"));
        QCOMPARE(router.log(), capi.log());
        QCOMPARE(router.log(), (router.shown.first() + QStringLiteral("\r\n")).toUtf8());
        QCOMPARE(router.table.fieldValue(fName), QStringLiteral("Adler"));
        QCOMPARE(router.pref("isdncpn"), capi.pref("isdncpn"));
    }

    void withheldAndUnknownNumbers() {
        Program p;
        Line line;
        QVERIFY(line.up());
        line.client.OnIncomingCall = p.handler();
        line.router.send("24.12.26 18:00:01;RING;1;;4711;ISDN;\n");
        QTRY_COMPARE(p.shown.size(), 1);
        QCOMPARE(p.shown.last(), kPrefix + QStringLiteral("Nummer unbekannt!  an:  4711"));
        QCOMPARE(p.table.fieldValue(fName), QStringLiteral("Berg")); // did not move
        QCOMPARE(p.pref("isdncpn"), QStringLiteral("<none>"));

        line.router.send(ring("089777", "4712"));
        QTRY_COMPARE(p.shown.size(), 2);
        QCOMPARE(p.shown.last(), kPrefix + QStringLiteral("089777  an:  4712"));
        QCOMPARE(p.pref("isdncpn"), QStringLiteral("089777"));
        QCOMPARE(p.log().count("\r\n"), 2);
    }

    void otherLinesChangeNothing() {
        Line line;
        QVERIFY(line.up());
        QVERIFY(line.sendAndSettle("24.12.26 18:00:01;CALL;2;10;4711;0891234;SIP0;\r\n"
                                   "24.12.26 18:00:05;CONNECT;2;10;0891234;\r\n"
                                   "24.12.26 18:01:05;DISCONNECT;2;60;\r\n"));
        QCOMPARE(line.calls, QStringList());
        QCOMPARE(line.client.skippedLines(), 0);
    }

    void ringSplitAcrossPackets() {
        Line line;
        QVERIFY(line.up());
        const QByteArray r = ring("0301234567");
        line.router.send(r.left(20));
        QTest::qWait(30);
        line.router.send(r.mid(20) + ring("0891", "4712").left(10));
        QTRY_COMPARE(line.calls.size(), 1);
        line.router.send(ring("0891", "4712").mid(10));
        QTRY_COMPARE(line.calls.size(), 2);
        QCOMPARE(line.calls, (QStringList{QStringLiteral("0301234567|4711|16|"),
                                          QStringLiteral("0891|4712|16|")}));
    }

    void garbageIsSurvived() {
        Line line;
        QVERIFY(line.up());
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary.append(char((i * 7919) & 0xFF));
        QByteArray huge(1024 * 1024, 'R');
        huge.replace(0, 25, "11.12.26 09:05:07;RING;0;");
        QVERIFY(line.sendAndSettle(binary + "\n" + huge + "\r\n" +
                                   QByteArray("11.12.26 09:05:07;RING;0;03\0"
                                              "01;4711;\n",
                                              37) +
                                   ";;;;\n\n\r\n" + ring("0301234567")));
        // Only the well-formed RING came through.
        QCOMPARE(line.calls, QStringList{QStringLiteral("0301234567|4711|16|")});
        QVERIFY2(line.client.skippedLines() >= 3,
                 qPrintable(QString::number(line.client.skippedLines())));
        QVERIFY(line.client.isConnected());

        // A line just within the limit is read; one byte more is not.
        QByteArray within = ring("0301");
        within.chop(2);
        within.append(QByteArray(CallMonitorClient::kMaxLineLength - within.size(), ';'));
        QVERIFY(line.sendAndSettle(within + "\r\n" + within + ";\n"));
        QCOMPARE(line.calls.size(), 2);
        QCOMPARE(line.calls.last(), QStringLiteral("0301|4711|16|"));
    }

    void lostConnectionAndBack() {
        Line line;
        QVERIFY(line.up());
        const quint16 port = line.router.port();
        QSignalSpy lost(&line.client, &CallMonitorClient::connectionLost);
        QSignalSpy restored(&line.client, &CallMonitorClient::connectionRestored);

        line.router.shutDown();
        QTRY_COMPARE(lost.size(), 1);
        QVERIFY(!line.client.isConnected());
        // Retries back off (40, 80, 160, 200 ms ...) and say nothing more.
        QTRY_COMPARE(line.client.nextRetryDelay(), 200);
        QTest::qWait(300);
        QCOMPARE(lost.size(), 1);
        QCOMPARE(restored.size(), 0);

        QVERIFY(line.router.listen(port));
        QTRY_COMPARE(restored.size(), 1);
        QVERIFY(line.client.isConnected());
        QCOMPARE(line.client.nextRetryDelay(), 40);
        QVERIFY(line.router.waitForClient());
        line.router.send(ring("0301234567"));
        QTRY_COMPARE(line.calls.size(), 1);
        QCOMPARE(lost.size(), 1);
    }

    void unreachableFromTheStart() {
        FakeCallMonitor probe;
        QVERIFY(probe.listen());
        const quint16 port = probe.port();
        probe.shutDown(); // a port nobody listens on

        CallMonitorClient client;
        client.setRetryDelays(40, 80);
        QSignalSpy lost(&client, &CallMonitorClient::connectionLost);
        QSignalSpy restored(&client, &CallMonitorClient::connectionRestored);
        client.start(QStringLiteral("127.0.0.1"), port);
        QTRY_COMPARE(lost.size(), 1);
        QTest::qWait(250); // several attempts
        QCOMPARE(lost.size(), 1);

        QString error;
        QVERIFY(!callMonitorReachable(QStringLiteral("127.0.0.1"), port, 2000, &error));
        QVERIFY(!error.isEmpty());

        FakeCallMonitor router;
        QVERIFY(router.listen(port));
        QVERIFY(callMonitorReachable(QStringLiteral("127.0.0.1"), port, 2000));
        QTRY_COMPARE(restored.size(), 1);

        // Stopping ends every attempt at once.
        router.shutDown();
        QTRY_COMPARE(client.state(), CallMonitorClient::State::Waiting);
        client.stop();
        QCOMPARE(client.state(), CallMonitorClient::State::Stopped);
        QVERIFY(router.listen(port));
        QTest::qWait(200);
        QCOMPARE(router.clientCount(), 0);
    }

    void handlerMayEndTheClient() {
        FakeCallMonitor router;
        QVERIFY(router.listen());
        auto* client = new CallMonitorClient;
        QPointer<CallMonitorClient> alive(client);
        int calls = 0;
        client->OnIncomingCall = [&](const QString&, const QString&, quint16, const QString&) {
            ++calls;
            delete client;
        };
        client->start(QStringLiteral("127.0.0.1"), router.port());
        QVERIFY(router.waitForClient());
        router.send(ring("0301") + ring("0302"));
        QTRY_VERIFY(!alive);
        QTest::qWait(50);
        QCOMPARE(calls, 1);

        // A handler that throws does not stop the source.
        Line line;
        QVERIFY(line.up());
        line.client.OnIncomingCall = [&](const QString& caller, const QString&, quint16,
                                         const QString&) {
            ++calls;
            if (caller == u"0301")
                throw std::runtime_error("log folder gone");
        };
        line.router.send(ring("0301") + ring("0302"));
        QTRY_COMPARE(calls, 3);
        QVERIFY(line.client.isConnected());
    }

    void deduplication_data() {
        QTest::addColumn<QStringList>("reports"); // source caller at-ms
        QTest::addColumn<QStringList>("passed");
        const auto l = [](std::initializer_list<const char*> s) {
            QStringList out;
            for (const char* x : s)
                out << QString::fromUtf8(x);
            return out;
        };
        QTest::newRow("both sources, same caller")
            << l({"capi 0301234567 0", "mon 0301234567 900"}) << l({"capi 0301234567"});
        QTest::newRow("router first")
            << l({"mon 0301234567 0", "capi 0301234567 1999"}) << l({"mon 0301234567"});
        QTest::newRow("more than 2 s apart") << l({"capi 0301234567 0", "mon 0301234567 2001"})
                                             << l({"capi 0301234567", "mon 0301234567"});
        QTest::newRow("one source twice") << l({"mon 0301234567 0", "mon 0301234567 100"})
                                          << l({"mon 0301234567", "mon 0301234567"});
        QTest::newRow("other caller")
            << l({"capi 0301234567 0", "mon 0891234 100"}) << l({"capi 0301234567", "mon 0891234"});
        QTest::newRow("international prefixes differ")
            << l({"capi 041446681800 0", "mon 0041446681800 10"}) << l({"capi 041446681800"});
        QTest::newRow("country code on one side")
            << l({"mon +49301234567 0", "capi 0301234567 10"}) << l({"mon +49301234567"});
        QTest::newRow("short numbers are compared whole")
            << l({"mon 21 0", "capi 0321 10"}) << l({"mon 21", "capi 0321"});
        QTest::newRow("withheld on both") << l({"capi - 0", "mon - 10"}) << l({"capi "});
        QTest::newRow("withheld and a number")
            << l({"capi - 0", "mon 0301 10"}) << l({"capi ", "mon 0301"});
        QTest::newRow("third call is a new one")
            << l({"capi 0301234567 0", "mon 0301234567 10", "mon 0301234567 20"})
            << l({"capi 0301234567", "mon 0301234567"});
    }
    void deduplication() {
        QFETCH(QStringList, reports);
        QFETCH(QStringList, passed);
        qint64 now = 0;
        CallDeduplicator calls({}, [&now]() { return now; });
        QStringList out;
        QString source;
        calls.OnIncomingCall = [&](const QString& caller, const QString& called, quint16,
                                   const QString&) {
            QCOMPARE(called, QStringLiteral("4711"));
            out << source + u' ' + caller;
        };
        for (const QString& r : reports) {
            const QStringList p = r.split(u' ');
            source = p[0];
            now = p[2].toLongLong();
            const QString caller = p[1] == u"-" ? QString() : p[1];
            calls.report(source == u"capi" ? CallDeduplicator::Capi : CallDeduplicator::CallMonitor,
                         caller, QStringLiteral("4711"), 16, QString());
        }
        QCOMPARE(out, passed);
    }

    void duplicateFromBothSourcesIsAnnouncedOnce() {
        CapiSimControl sim;
        QVERIFY2(sim.isValid(), "the simulated driver is not loadable");
        sim.reset();
        if (CapiState() != CapiStateInstalled)
            simtest::useLibrary(qgetenv("KALVENDO_CAPI_LIBRARY"));
        Program p;
        CallDeduplicator calls;
        calls.OnIncomingCall = p.handler();
        Line line;
        QVERIFY(line.up());
        line.client.OnIncomingCall = calls.input(CallDeduplicator::CallMonitor);
        {
            TCapiMonitor monitor;
            monitor.OnIncomingCall = calls.input(CallDeduplicator::Capi);
            QVERIFY(monitor.Activate(1, 0));
            QCOMPARE(sim.queue(monitor.Capi()->ApplID(), simtest::connectInd(0x101)), 0);
            QTRY_COMPARE(p.shown.size(), 1);
            line.router.send(ring("0301234567"));
            // The router's RING is read (a later one comes through) but not shown.
            line.router.send(ring("089777"));
            QTRY_COMPARE(p.shown.size(), 2);
        }
        QTRY_COMPARE(TCapiCallBack::RunningCount(), 0);
        sim.reset();
        QVERIFY(p.shown.first().endsWith(QStringLiteral("Anna Adler  an:  4711")));
        QVERIFY(p.shown.last().endsWith(QStringLiteral("089777  an:  4711")));
        QCOMPARE(p.log().count("\r\n"), 2);
    }
};

QTEST_MAIN(TestCallMonitor)
#include "tst_callmonitor.moc"
