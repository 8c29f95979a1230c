// Callers matched by the international form of their number: the forms
// libphonenumber gives, the number index the store keeps of them, and the
// look-up order of an incoming call.

#include "addressbook/AddressStore.h"
#include "addressbook/AddressTable.h"
#include "addressbook/PreparedNumber.h"
#include "callerid/CallNotice.h"
#include "callerid/PhoneNumberKeys.h"
#include "testsupport/AppFolder.h"

#include <QTest>

#include <sqlite3.h>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

std::shared_ptr<const PhoneNumberKeys> keys(const char* country = "DE", const char* area = "030") {
    return std::make_shared<const PhoneNumberKeys>(QString::fromLatin1(country),
                                                   QString::fromLatin1(area));
}

Record person(const char* name, const char* tel, const char* mobil = "", const char* group = "") {
    Record r;
    r[fName] = QString::fromUtf8(name);
    r[fVorname] = QStringLiteral("V");
    r[fTelefon] = QString::fromUtf8(tel);
    r[fMobil] = QString::fromUtf8(mobil);
    r[fTsuche] = prepareNumber(r[fTelefon]);
    r[fHsuche] = prepareNumber(r[fMobil]);
    r[fGruppe] = QString::fromUtf8(group);
    return r;
}

struct Table {
    AppFolder folder;
    AddressTable table;

    explicit Table(std::vector<Record> records,
                   std::shared_ptr<const NumberKeys> numberKeys = keys()) {
        AddressStore store;
        store.open(folder.data());
        store.insertRecords(records);
        store.close();
        table.setNumberKeys(std::move(numberKeys));
        table.connectFolder(folder.data());
        table.open();
        table.last();
    }
    // The name of the record the number finds, or "-".
    QString find(const QString& number) {
        return table.locateNumber(number) ? table.fieldValue(fName) : QStringLiteral("-");
    }
    QString find(const char* number) { return find(QString::fromLatin1(number)); }
};

} // namespace

class TestNumberMatch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void forms_data() {
        QTest::addColumn<QString>("country");
        QTest::addColumn<QString>("area");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("switchboard");
        auto row = [](const char* name, const char* country, const char* area, const char* number,
                      const char* form, const char* switchboard = "") {
            QTest::newRow(name) << QString::fromLatin1(country) << QString::fromLatin1(area)
                                << QString::fromUtf8(number) << QString::fromLatin1(form)
                                << QString::fromLatin1(switchboard);
        };
        row("international", "DE", "030", "+49 30 1234567", "+49301234567");
        row("00", "DE", "030", "0049301234567", "+49301234567");
        row("national with separators", "DE", "030", "030/123 45-67", "+49301234567");
        row("area code in parentheses", "DE", "030", "(030) 1234567", "+49301234567");
        row("trunk zero in parentheses", "DE", "030", "+49 (0)30 1234567", "+49301234567");
        row("national plain", "DE", "", "0301234567", "+49301234567");
        row("local, area code 030", "DE", "030", "123 45 67", "+49301234567");
        row("local, area code written 30", "DE", "30", "123 45 67", "+49301234567");
        row("local without an area code", "DE", "", "123 45 67", "");
        row("mobile", "DE", "030", "0171 1234567", "+491711234567");
        row("Swiss from Germany", "DE", "030", "0041 44 668 18 00", "+41446681800");
        row("switchboard", "DE", "030", "030 1234-0", "+493012340", "+49301234");
        row("switchboard, blanks", "DE", "030", "030 1234 - 0 ", "+493012340", "+49301234");
        row("local switchboard", "DE", "030", "1234-0", "+493012340", "+49301234");
        row("extension dropped", "DE", "030", "030 1234567 x 12", "+49301234567");
        row("direct extension is a number", "DE", "030", "030 1234-56", "+4930123456");
        row("internal two digits", "DE", "030", "21", "");
        row("internal three digits", "DE", "030", "620", "");
        row("internal DECT", "DE", "030", "**610", "");
        row("service code", "DE", "030", "*21#", "");
        row("area code alone", "DE", "030", "030", "");
        row("words", "DE", "030", "Zentrale", "");
        row("empty", "DE", "030", "", "");
        row("control characters", "DE", "030", "030\t123\u202e4567", "+49301234567");
        row("home country Switzerland", "ch", "044", "668 18 00", "+41446681800");
        row("unknown country: only '+' numbers", "XX", "030", "030 1234567", "");
        row("unknown country, international", "XX", "030", "+49 30 1234567", "+49301234567");
        row("no trunk prefix: area code ignored", "IT", "06", "06 1234 5678", "+390612345678");
        row("whole national number without trunk prefix", "US", "650", "650 253 0000",
            "+16502530000");
    }
    void forms() {
        QFETCH(QString, country);
        QFETCH(QString, area);
        QFETCH(QString, number);
        QFETCH(QString, form);
        QFETCH(QString, switchboard);
        const PhoneNumberKeys k(country, area);
        const auto f = k.forms(number);
        QCOMPARE(f.number, form);
        QCOMPARE(f.switchboard, switchboard);
    }

    void identityFollowsThePreferences() {
        QCOMPARE(keys("DE", "030")->identity(), keys("de", "30")->identity());
        QVERIFY(keys("DE", "030")->identity() != keys("DE", "089")->identity());
        QVERIFY(keys("DE", "030")->identity() != keys("AT", "030")->identity());
    }

    void matchTable_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("mobile");
        QTest::addColumn<QString>("caller");
        QTest::addColumn<bool>("found");
        auto row = [](const char* name, const char* stored, bool mobile, const char* caller,
                      bool found) {
            QTest::newRow(name) << QString::fromUtf8(stored) << mobile
                                << QString::fromLatin1(caller) << found;
        };
        row("separators vs international", "030/123 45-67", false, "+49301234567", true);
        row("international vs national", "+49 30 1234567", false, "0301234567", true);
        row("parentheses vs 00", "(030) 1234567", false, "0049301234567", true);
        row("stored local vs national caller", "123 45 67", false, "0301234567", true);
        row("stored national vs local caller", "0301234567", false, "1234567", true);
        row("other area code", "089 1234567", false, "0301234567", false);
        row("mobile number", "0171 / 123 45 67", true, "+491711234567", true);
        row("foreign number", "+41 44 668 18 00", false, "0041446681800", true);
        row("switchboard itself", "030 1234-0", false, "03012340", true);
        row("extension of a switchboard", "030 1234-0", false, "030123456", true);
        row("five-digit extension", "030 1234-0", false, "03012345678", true);
        row("line without extension", "030 1234-0", false, "0301234", false);
        row("longer number is no extension", "030 12345", false, "0301234567", false);
        row("internal caller vs stored local", "21", false, "21", false);
        row("internal caller vs area code number", "030 21", false, "21", false);
        row("stored internal vs area code caller", "620", false, "030620", false);
        row("withheld", "", false, "", false);
    }
    void matchTable() {
        QFETCH(QString, stored);
        QFETCH(bool, mobile);
        QFETCH(QString, caller);
        QFETCH(bool, found);
        Record r = person("Adler", "");
        r[mobile ? fMobil : fTelefon] = stored;
        Table t({person("Berg", "0891111111"), r, person("Zeller", "")});
        QCOMPARE(t.find(caller), found ? QStringLiteral("Adler") : QStringLiteral("-"));
        if (!found)
            QCOMPARE(t.table.fieldValue(fName), QStringLiteral("Zeller")); // did not move
    }

    void lookUpOrder() {
        Table t({
            person("Adler", "+49 30 1234567", "+49 171 1234567"),
            person("Berg", "0171/1234567"),
            person("Zeller", "030 1234567"),
            person("Xaver", "030 555-0"),
            person("Yilmaz", "030 5556"),
        });
        auto call = [&](const char* caller) {
            IncomingCall c(t.table, t.folder.dataFile(QStringLiteral("ab.ini")),
                           {QStringLiteral("Anruf von:"), QStringLiteral("an:"),
                            QStringLiteral("Nummer unbekannt!")},
                           {{}, {}});
            c.handle(QString::fromLatin1(caller), QStringLiteral("4711"));
            return t.table.fieldValue(fName);
        };
        // The exact look-up comes first, though Adler stands earlier.
        QCOMPARE(call("0301234567"), QStringLiteral("Zeller"));
        // Then the international form: telephone before mobile.
        QCOMPARE(call("0049 171 1234567"), QStringLiteral("Berg"));
        QCOMPARE(call("0049301234567"), QStringLiteral("Adler"));
        // A number exactly stored wins over the switchboard it extends.
        QCOMPARE(call("0305556"), QStringLiteral("Yilmaz"));
        QCOMPARE(call("0305557"), QStringLiteral("Xaver"));

        // Within the group filter: the record it hides is not found.
        t.table.setFilter(QStringLiteral("Gruppe = [Kunden]"));
        t.table.setFiltered(true);
        QCOMPARE(t.find("0301234567"), QStringLiteral("-"));
    }

    void filterHidesTheBetterMatch() {
        Table t({person("Adler", "030 1234567", "", "Privat"),
                 person("Berg", "", "+49 30 1234567", "Kunden")});
        t.table.setFilter(QStringLiteral("Gruppe = [Kunden]"));
        t.table.setFiltered(true);
        QCOMPARE(t.find("0049301234567"), QStringLiteral("Berg"));
    }

    void indexFollowsEveryWrite() {
        Table t({person("Adler", "030 111 111"), person("Berg", "089 222 222")});
        QCOMPARE(t.find("030111111"), QStringLiteral("Adler"));

        t.table.first();
        t.table.edit();
        t.table.setFieldValue(fTelefon, QStringLiteral("+49 40 333 333"));
        t.table.post();
        QCOMPARE(t.find("030111111"), QStringLiteral("-"));
        QCOMPARE(t.find("040333333"), QStringLiteral("Adler"));

        t.table.append();
        t.table.setFieldValue(fName, QStringLiteral("Cramer"));
        t.table.setFieldValue(fMobil, QStringLiteral("0160 1234567"));
        t.table.post();
        QCOMPARE(t.find("+491601234567"), QStringLiteral("Cramer"));

        QVERIFY(t.table.locate(QStringLiteral("Name"), QStringLiteral("Berg")));
        t.table.deleteRecord();
        QCOMPARE(t.find("089222222"), QStringLiteral("-"));

        // The bulk preparation goes through the same writes.
        t.table.updateEach([](Record& r) { r[fTelefon] = r[fTelefon] + QStringLiteral("-0"); });
        QCOMPARE(t.find("04033333312"), QStringLiteral("Adler"));
    }

    void rebuiltOnlyWhenOutOfStep() {
        AppFolder folder;
        {
            AddressStore store;
            store.setNumberKeys(keys());
            store.open(folder.data());
            QVERIFY(store.numberIndexRebuilt()); // a new table's index has none yet
            store.insertRecord(person("Adler", "123 45 67"));
            QCOMPARE(store.numberMatches(QStringLiteral("0301234567")).size(), size_t(1));
        }
        {
            AddressStore store;
            store.setNumberKeys(keys());
            store.open(folder.data());
            QVERIFY(!store.numberIndexRebuilt());
            QCOMPARE(store.numberMatches(QStringLiteral("0301234567")).size(), size_t(1));
            // Another home area code reads the local number differently.
            store.setNumberKeys(keys("DE", "089"));
            QVERIFY(store.numberIndexRebuilt());
            QCOMPARE(store.numberMatches(QStringLiteral("0301234567")).size(), size_t(0));
            QCOMPARE(store.numberMatches(QStringLiteral("0891234567")).size(), size_t(1));
            store.setNumberKeys(keys("DE", "089"));
            QVERIFY(!store.numberIndexRebuilt());
        }
        {
            // A write without number keys leaves the index out of step...
            AddressStore store;
            store.open(folder.data());
            QVERIFY(store.numberMatches(QStringLiteral("0891234567")).empty());
            store.insertRecord(person("Berg", "089 7654321"));
        }
        {
            // ... so the next open with keys rebuilds it and finds the new record.
            AddressStore store;
            store.setNumberKeys(keys("DE", "089"));
            store.open(folder.data());
            QVERIFY(store.numberIndexRebuilt());
            QCOMPARE(store.numberMatches(QStringLiteral("+49897654321")).size(), size_t(1));
        }
        {
            // An index file of a version without the number table gets one.
            sqlite3* db = nullptr;
            QCOMPARE(
                sqlite3_open(
                    QFile::encodeName(folder.dataFile(AddressStore::kIndexFile)).constData(), &db),
                SQLITE_OK);
            QCOMPARE(sqlite3_exec(db, "DROP TABLE \"NUMMERN\"", nullptr, nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(db);
            AddressStore store;
            store.setNumberKeys(keys("DE", "089"));
            store.open(folder.data());
            QVERIFY(!store.indexRebuilt());
            QVERIFY(store.numberIndexRebuilt());
            QCOMPARE(store.numberMatches(QStringLiteral("+49897654321")).size(), size_t(1));
        }
    }

    void unbuildableIndexLeavesTheTableOpen() {
        AppFolder folder;
        folder.addRecord({{fName, "Adler"}, {fTelefon, "030 1234567"}});
        {
            AddressStore store; // made without keys
            store.open(folder.data());
        }
        // Another program writing the index file: the number index cannot be
        // built (after the store's busy time-out), the rest opens.
        sqlite3* other = nullptr;
        QCOMPARE(
            sqlite3_open(QFile::encodeName(folder.dataFile(AddressStore::kIndexFile)).constData(),
                         &other),
            SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        AddressStore store;
        store.setNumberKeys(keys());
        store.open(folder.data());
        QVERIFY(store.isOpen());
        QVERIFY(!store.numberIndexError().isEmpty());
        QVERIFY(store.numberMatches(QStringLiteral("0301234567")).empty());
        QCOMPARE(store.readRecord(1).value()[fName], QStringLiteral("Adler"));
        QCOMPARE(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(other);

        store.setNumberKeys(keys());
        QVERIFY(store.numberIndexError().isEmpty());
        QCOMPARE(store.numberMatches(QStringLiteral("0301234567")).size(), size_t(1));
    }

    void incomingCallAnnouncesTheMatch() {
        Table t({person("Adler", "030/123 45-67")});
        QList<CallAnnouncement> announced;
        QStringList shown;
        auto call = [&](const QString& caller) {
            IncomingCall c(t.table, t.folder.dataFile(QStringLiteral("ab.ini")),
                           {QStringLiteral("Anruf von:"), QStringLiteral("an:"),
                            QStringLiteral("Nummer unbekannt!")},
                           {[&](const QString& s) { shown << s; },
                            {},
                            [&](const CallAnnouncement& a) { announced << a; }});
            c.handle(caller, QStringLiteral("4711"));
        };
        call(QStringLiteral("0049301234567"));
        QVERIFY(shown.last().endsWith(QStringLiteral("Anruf von:  V Adler  an:  4711")));
        QCOMPARE(announced.size(), 1);
        QCOMPARE(announced.last().name, QStringLiteral("V Adler"));
        QCOMPARE(announced.last().number, QStringLiteral("0049301234567"));
        QCOMPARE(announced.last().called, QStringLiteral("4711"));
        call(QStringLiteral("089777"));
        QCOMPARE(announced.last().name, QString());
        QCOMPARE(announced.last().number, QStringLiteral("089777"));
        call(QString());
        QCOMPARE(announced.last().name, QString());
        QCOMPARE(announced.last().number, QString());

        t.folder.write(QStringLiteral("ab.ini"), "[preferences]\r\nnotify=0\r\n");
        call(QStringLiteral("0301234567"));
        QCOMPARE(announced.size(), 3);
        QCOMPARE(shown.size(), 4);
    }
};

QTEST_MAIN(TestNumberMatch)
#include "tst_numbermatch.moc"
