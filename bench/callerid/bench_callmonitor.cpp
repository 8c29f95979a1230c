// Times an incoming call from the router's call monitor end to end: the RING
// line written by a fake router on 127.0.0.1, read by the client, looked up
// and shown as the notice (call log written) -- for a caller found exactly,
// one found by the international form of the number, and an unknown one --
// beside the plain exact index probe of the prepared number in the same run.
//
//   bench_callmonitor [records] [calls]

#include "addressbook/AddressStore.h"
#include "addressbook/AddressTable.h"
#include "addressbook/Fields.h"
#include "addressbook/PreparedNumber.h"
#include "callerid/CallMonitorClient.h"
#include "callerid/CallNotice.h"
#include "callerid/PhoneNumberKeys.h"
#include "common/SaveFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kalvendo;

namespace {

const int kAreas[] = {30, 40, 69, 89, 221, 211, 711, 341, 351, 911};

QString area(int i) {
    return QStringLiteral("0%1").arg(kAreas[i % 10]);
}
QString local(int i) {
    return QString::number(2000000 + i);
}

void fill(const QString& folder, int records) {
    AddressStore::createTable(folder);
    AddressStore store;
    store.open(folder);
    std::vector<Record> batch;
    batch.reserve(size_t(records));
    for (int i = 0; i < records; ++i) {
        Record r;
        r[fName] = QStringLiteral("Name%1").arg(i % 9973, 5, 10, QLatin1Char('0'));
        r[fVorname] = QStringLiteral("V%1").arg(i);
        // Written as people write them: slash, blanks, parentheses, +49.
        switch (i % 4) {
        case 0:
            r[fTelefon] = area(i) + u'/' + local(i);
            break;
        case 1:
            r[fTelefon] = u'(' + area(i) + QStringLiteral(") ") + local(i);
            break;
        case 2:
            r[fTelefon] = QStringLiteral("+49 ") + area(i).mid(1) + u' ' + local(i);
            break;
        default:
            r[fTelefon] = area(i) + u' ' + local(i).left(3) + u' ' + local(i).mid(3);
        }
        r[fMobil] = QStringLiteral("0171 %1").arg(3000000 + i);
        r[fTsuche] = prepareNumber(r[fTelefon]);
        r[fHsuche] = prepareNumber(r[fMobil]);
        batch.push_back(std::move(r));
    }
    store.insertRecords(batch);
}

struct Stats {
    double median, p99;
};
Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)]};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int calls = argc > 2 ? std::atoi(argv[2]) : 200;

    QTemporaryDir dir;
    QTemporaryDir logDir;
    fill(dir.path(), records);
    const QString abIni = dir.filePath(QStringLiteral("ab.ini"));
    writeFileAtomically(abIni, "[preferences]\r\nisdnpath=" + logDir.path().toUtf8() + "\r\n");

    QElapsedTimer t;
    AddressTable table;
    table.connectFolder(dir.path());
    t.start();
    table.open();
    const double openPlain = t.nsecsElapsed() / 1e6;
    t.start();
    table.setNumberKeys(
        std::make_shared<const PhoneNumberKeys>(QStringLiteral("DE"), QStringLiteral("030")));
    const double indexBuild = t.nsecsElapsed() / 1e6;
    std::printf("%d records: open %.0f ms; number index built in %.0f ms (%.1f us a record)\n",
                records, openPlain, indexBuild, indexBuild * 1000 / records);
    {
        const PhoneNumberKeys keys(QStringLiteral("DE"), QStringLiteral("030"));
        const int n = 20000;
        t.start();
        int valid = 0;
        for (int i = 0; i < n; ++i)
            valid += keys.forms(area(i) + u'/' + local(i)).number.isEmpty() ? 0 : 1;
        std::printf("one number's form: %.1f us (%d of %d valid)\n", t.nsecsElapsed() / 1e3 / n,
                    valid, n);
    }

    // Records i with i % 4 == 0 have prepared numbers of plain digits.
    auto exactable = [records](int c) { return ((c * 7919) % (records / 4)) * 4; };
    // The baseline: the exact look-up of a prepared number, an index probe.
    std::vector<double> probe;
    for (int c = 0; c < calls; ++c) {
        const int i = exactable(c);
        const QString n = prepareNumber(area(i) + u'/' + local(i));
        t.start();
        if (!table.locate(QStringLiteral("tsuche"), n))
            std::fprintf(stderr, "not found: %s\n", qPrintable(n));
        probe.push_back(t.nsecsElapsed() / 1e6);
    }

    QTcpServer router;
    router.listen(QHostAddress::LocalHost);
    QTcpSocket* peer = nullptr;
    QObject::connect(&router, &QTcpServer::newConnection,
                     [&]() { peer = router.nextPendingConnection(); });
    CallMonitorClient client;
    QString shown;
    QEventLoop loop;
    client.OnIncomingCall = [&](const QString& caller, const QString& called, quint16,
                                const QString&) {
        IncomingCall call(table, abIni,
                          {QStringLiteral("Anruf von:"), QStringLiteral("an:"),
                           QStringLiteral("Nummer unbekannt!")},
                          {[&](const QString& s) { shown = s; }, {}});
        call.handle(caller, called);
        loop.quit();
    };
    client.start(QStringLiteral("127.0.0.1"), router.serverPort());
    while (!peer || !client.isConnected())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);

    QTimer guard;
    guard.setSingleShot(true);
    guard.setInterval(5000);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    auto run = [&](const char* what, auto callerOf, const QString& expect) {
        std::vector<double> times;
        for (int c = 0; c < calls; ++c) {
            const int i = exactable(c + 1);
            const QByteArray line =
                "11.12.26 09:05:07;RING;0;" + callerOf(i).toUtf8() + ";4711;SIP0;\r\n";
            shown.clear();
            guard.start();
            t.start();
            peer->write(line);
            peer->flush();
            loop.exec();
            times.push_back(t.nsecsElapsed() / 1e6);
            guard.stop();
            if (!shown.contains(expect == u"name" ? QStringLiteral("V%1 ").arg(i) : expect))
                std::fprintf(stderr, "%s: unexpected notice %s\n", what, qPrintable(shown));
        }
        return stats(times);
    };
    const Stats exact = run(
        "exact", [](int i) -> QString { return prepareNumber(area(i) + u'/' + local(i)); },
        QStringLiteral("name"));
    // International form only: the prepared fields hold something else.
    const Stats intl = run(
        "international",
        [](int i) -> QString { return QStringLiteral("0049") + area(i).mid(1) + local(i); },
        QStringLiteral("name"));
    const Stats unknown = run(
        "unknown",
        [](int i) -> QString {
            return QStringLiteral("0049 40 9%1").arg(i, 6, 10, QLatin1Char('0'));
        },
        QStringLiteral("0049 40 9"));
    const Stats base = stats(probe);

    std::printf("%-38s %9s %9s %9s\n", "", "median", "p99", "ratio");
    std::printf("%-38s %8.3f ms %8.3f ms %8s\n", "exact index probe (tsuche)", base.median,
                base.p99, "1.00");
    auto line = [&](const char* name, const Stats& s) {
        std::printf("%-38s %8.3f ms %8.3f ms %8.1f\n", name, s.median, s.p99,
                    s.median / base.median);
    };
    line("RING -> notice, exact match", exact);
    line("RING -> notice, international form", intl);
    line("RING -> notice, unknown number", unknown);
    return 0;
}
