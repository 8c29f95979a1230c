// The desktop notice of an incoming call, sent to a fake notification service
// on a private session bus (dbus-run-session), never to the desktop's own.

#include "addressbook/AddressTable.h"
#include "callerid/CallNotice.h"
#include "callerid/DesktopNotice.h"
#include "testsupport/AppFolder.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QSignalSpy>
#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

const CallNoticeTexts kGerman{QStringLiteral("Anruf von:"), QStringLiteral("an:"),
                              QStringLiteral("Nummer unbekannt!")};

} // namespace

// org.freedesktop.Notifications as a desktop offers it, remembering each notice.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Note {
        QString app, icon, summary, body;
        QVariantMap hints;
        int timeout;
    };
    QList<Note> notes;
    QStringList capabilities{QStringLiteral("body")};

public Q_SLOTS:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap& hints, int timeout) {
        notes.append({app, icon, summary, body, hints, timeout});
        return uint(notes.size());
    }
    void CloseNotification(uint) {}
};

class TestDesktopNotice : public QObject {
    Q_OBJECT

    // The service on a connection of its own, so that calls go through the bus.
    struct Service {
        FakeNotifications fake;
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake"));
        Service() {
            bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                               QDBusConnection::ExportAllSlots);
            bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
        }
        ~Service() {
            bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
            bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        }
    };

private Q_SLOTS:
    void texts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("body");
        QTest::newRow("known") << QStringLiteral("Anna Adler") << QStringLiteral("0301234567")
                               << QStringLiteral("Anruf von Anna Adler")
                               << QStringLiteral("0301234567\nan: 4711");
        QTest::newRow("unknown") << QString() << QStringLiteral("089777")
                                 << QStringLiteral("Anruf von 089777")
                                 << QStringLiteral("an: 4711");
        QTest::newRow("withheld") << QString() << QString()
                                  << QStringLiteral("Anruf von Nummer unbekannt!")
                                  << QStringLiteral("an: 4711");
    }
    void texts() {
        QFETCH(QString, name);
        QFETCH(QString, number);
        QFETCH(QString, title);
        QFETCH(QString, body);
        const CallAnnouncement call{name, number, QStringLiteral("4711")};
        QCOMPARE(DesktopNotifier::title(call, kGerman), title);
        QCOMPARE(DesktopNotifier::body(call, kGerman, false), body);
    }

    void withoutBusNothingHappens() {
        DesktopNotifier notifier(QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/kalvendo-bus"), QStringLiteral("nobus")));
        QSignalSpy failed(&notifier, &DesktopNotifier::failed);
        QVERIFY(
            !notifier.show({QString(), QStringLiteral("0301"), QStringLiteral("4711")}, kGerman));
        QTest::qWait(50);
        QCOMPARE(failed.size(), 0);
    }

    void incomingCallReachesTheDesktop() {
        if (qgetenv("KALVENDO_PRIVATE_BUS") != "1")
            QSKIP("needs a private session bus: dbus-run-session (Debian package dbus) is not "
                  "installed");
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        Service service;
        DesktopNotifier notifier;
        QSignalSpy delivered(&notifier, &DesktopNotifier::delivered);

        AppFolder folder;
        folder.addRecord({{fName, "Adler"}, {fVorname, "Anna"}, {fTsuche, "0301234567"}});
        AddressTable table;
        table.connectFolder(folder.data());
        table.open();
        auto call = [&](const char* caller) {
            IncomingCall c(table, folder.dataFile(QStringLiteral("ab.ini")), kGerman,
                           {{}, {}, [&](const CallAnnouncement& a) { notifier.show(a, kGerman); }});
            c.handle(QString::fromLatin1(caller), QStringLiteral("4711"));
        };
        call("0301234567");
        call("089777");
        QTRY_COMPARE(delivered.size(), 2);
        QCOMPARE(service.fake.notes.size(), 2);
        const auto& known = service.fake.notes[0];
        QCOMPARE(known.app, QStringLiteral("Kalvendo"));
        QCOMPARE(known.icon, QStringLiteral("call-start"));
        QCOMPARE(known.summary, QStringLiteral("Anruf von Anna Adler"));
        QCOMPARE(known.body, QStringLiteral("0301234567\nan: 4711"));
        QCOMPARE(known.hints.value(QStringLiteral("desktop-entry")).toString(),
                 QStringLiteral("kalvendo"));
        QCOMPARE(known.timeout, -1);
        QCOMPARE(service.fake.notes[1].summary, QStringLiteral("Anruf von 089777"));
        QCOMPARE(delivered.last().first().toUInt(), 2u);

        // A service that reads markup gets the body escaped.
        service.fake.capabilities << QStringLiteral("body-markup");
        DesktopNotifier markup;
        QVERIFY(
            markup.show({QString(), QStringLiteral("0301"), QStringLiteral("47<11>&")}, kGerman));
        QTRY_COMPARE(service.fake.notes.size(), 3);
        QCOMPARE(service.fake.notes[2].body, QStringLiteral("an: 47&lt;11&gt;&amp;"));
    }

    void missingServiceIsSilent() {
        if (qgetenv("KALVENDO_PRIVATE_BUS") != "1")
            QSKIP("needs a private session bus: dbus-run-session (Debian package dbus) is not "
                  "installed");
        QVERIFY(!QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QStringLiteral("org.freedesktop.Notifications")));
        DesktopNotifier notifier;
        QSignalSpy failed(&notifier, &DesktopNotifier::failed);
        QVERIFY(
            notifier.show({QString(), QStringLiteral("0301"), QStringLiteral("4711")}, kGerman));
        QTRY_COMPARE(failed.size(), 1);
        // A service that starts later is found at the next call.
        Service service;
        QSignalSpy delivered(&notifier, &DesktopNotifier::delivered);
        QVERIFY(
            notifier.show({QString(), QStringLiteral("0302"), QStringLiteral("4711")}, kGerman));
        QTRY_COMPARE(delivered.size(), 1);
        QCOMPARE(service.fake.notes.size(), 1);
    }
};

QTEST_MAIN(TestDesktopNotice)
#include "tst_desktopnotice.moc"
