#include "StoreTestUtil.h"

#include "addressbook/AddressTable.h"
#include "addressbook/DatabaseError.h"
#include "addressbook/NumberKeys.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <functional>

using namespace kalvendo;
using kalvendo::test::person;
using kalvendo::test::readBytes;
using kalvendo::test::TableFolder;
using kalvendo::test::verifyFiles;
using kalvendo::test::writeBytes;

namespace {

const char kChildFlag[] = "--post-child";

QString crashName(qint64 n) {
    return QStringLiteral("Crash %1").arg(n, 6, 10, QChar(u'0'));
}

// The child of the crash test: posts new records (and changes older ones) until
// it is killed, reporting each committed count on stdout.
int runPostChild(const QString& folder) {
    AddressTable t;
    t.connectFolder(folder);
    t.open();
    QRandomGenerator rng(static_cast<quint32>(t.recordCount()) + 7);
    qint64 n = t.recordCount();
    for (int i = 0; i < 20000; ++i) {
        t.insert();
        t.setFieldValue(fName, crashName(n));
        t.setFieldValue(fVorname, QString::number(rng.bounded(100000)));
        t.setFieldValue(fTsuche, QString::number(rng.bounded(1000000)));
        t.post();
        ++n;
        if (i % 4 == 3) {
            // Changes move index rows too.
            t.moveToRow(rng.bounded(t.rowCount()));
            t.edit();
            t.setFieldValue(fVorname, QString::number(rng.bounded(100000)));
            t.setFieldValue(fWohnort, QStringLiteral("Ort %1").arg(i));
            t.post();
        }
        std::printf("%lld\n", static_cast<long long>(n));
        std::fflush(stdout);
    }
    return 0;
}

QStringList walkNames(AddressTable& t) {
    QStringList out;
    for (t.first(); !t.eof(); t.next())
        out << t.fieldValue(fName) + u'|' + t.fieldValue(fWohnort);
    return out;
}

// A file's bytes as SQLite alone sees them, held in memory.
class Image {
public:
    explicit Image(const QByteArray& bytes) {
        sqlite3_open(":memory:", &m_db);
        auto* buffer = static_cast<unsigned char*>(sqlite3_malloc64(quint64(bytes.size())));
        std::memcpy(buffer, bytes.constData(), size_t(bytes.size()));
        sqlite3_deserialize(m_db, "main", buffer, bytes.size(), bytes.size(),
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY);
    }
    ~Image() { sqlite3_close(m_db); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Whether every row of the query can be read.
    bool reads(const QByteArray& sql) const {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
            return false;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        }
        sqlite3_finalize(st);
        return rc == SQLITE_DONE;
    }
    bool pagesSound() const {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(m_db, "PRAGMA quick_check", -1, &st, nullptr);
        const bool ok =
            sqlite3_step(st) == SQLITE_ROW &&
            qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok") == 0 &&
            sqlite3_step(st) == SQLITE_DONE;
        sqlite3_finalize(st);
        return ok;
    }

private:
    sqlite3* m_db = nullptr;
};

QByteArray flipped(QByteArray bytes, qsizetype at) {
    bytes[at] = char(bytes[at] ^ (1 << (at % 8)));
    return bytes;
}

// Single-bit flips, at most one per page from page 4 on (pages 1 to 3 hold the
// schema and the stamps), that leave passes true and SQLite's page check
// failing: the damage a count at open does not see. Searched in file order, so
// every run finds the same flips.
QList<qsizetype> hiddenFlips(const QByteArray& sound, int wanted,
                             const std::function<bool(const Image&)>& passes) {
    constexpr qsizetype kPage = 4096;
    QList<qsizetype> out;
    for (qsizetype page = 3 * kPage; page < sound.size() && out.size() < wanted; page += kPage) {
        for (qsizetype at = page; at < page + kPage && at < sound.size(); ++at) {
            const Image image(flipped(sound, at));
            if (passes(image) && !image.pagesSound()) {
                out << at;
                break;
            }
        }
    }
    return out;
}

QByteArray countsOfIndexes() {
    QByteArray sql = "SELECT 0";
    for (int k = 0; k < kIndexCount; ++k)
        sql += QByteArray(" + (SELECT count(*) FROM \"") + indexDef(k).name + "\")";
    return sql;
}

// Digits only: enough for the number table to be built.
class DigitKeys : public NumberKeys {
public:
    QString identity() const override { return QStringLiteral("digits"); }
    Forms forms(const QString& number) const override {
        QString digits;
        for (const QChar c : number) {
            if (c.isDigit())
                digits += c;
        }
        return {digits, QString()};
    }
};

// SQLite's super-journals of the table in folder.
QStringList superJournals(const QString& folder) {
    return QDir(folder).entryList({AddressStore::kTableFile + QStringLiteral("-mj*")},
                                  QDir::Files | QDir::Hidden);
}

} // namespace

class TstAddressStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void createTableLaysOutBothFiles();
    void openFailsClearly_data();
    void openFailsClearly();
    void damagedTableIsNeverTouched_data();
    void damagedTableIsNeverTouched();
    void damageACountMissesIsRefused();
    void damagedIndexIsRebuiltNeverWritten_data();
    void damagedIndexIsRebuiltNeverWritten();
    void foreignObjectsAreRefused_data();
    void foreignObjectsAreRefused();
    void untrustedIndexIsRebuilt_data();
    void untrustedIndexIsRebuilt();
    void staleSuperJournalsAreRemoved();
    void killedDuringPostsLosesNothing();
    void unwritableFolderKeepsEverything_data();
    void unwritableFolderKeepsEverything();
};

void TstAddressStore::createTableLaysOutBothFiles() {
    TableFolder folder;
    QVERIFY(QFileInfo(folder.table()).isFile());
    QVERIFY(QFileInfo(folder.index()).isFile());
    QString problem = verifyFiles(folder.path());
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    // An existing table is never replaced.
    folder.add({person(QStringLiteral("Abel"))});
    const QByteArray table = readBytes(folder.table());
    const QByteArray index = readBytes(folder.index());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, AddressStore::createTable(folder.path()));
    QCOMPARE(readBytes(folder.table()), table);
    QCOMPARE(readBytes(folder.index()), index);

    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             AddressStore::createTable(folder.path() + QStringLiteral("/fehlt")));

    AddressTable t;
    t.connectFolder(folder.path());
    t.open();
    QCOMPARE(t.recordCount(), 1);
    QVERIFY(!t.indexRebuilt());
    t.close();

    // Writers other than the cursor (imports, fixtures) are held to the widths too.
    folder.add({person(QString(60, u'x'), QString(51, u'y'))});
    std::map<qint64, Record> stored;
    problem = verifyFiles(folder.path(), &stored);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(stored.rbegin()->second[fName], QString(50, u'x'));
    QCOMPARE(stored.rbegin()->second[fVorname], QString(50, u'y'));
}

void TstAddressStore::openFailsClearly_data() {
    QTest::addColumn<QString>("setup");
    QTest::newRow("folder without a table") << QStringLiteral("empty");
    QTest::newRow("table is a folder") << QStringLiteral("folder");
    QTest::newRow("missing data folder") << QStringLiteral("missing");
}

void TstAddressStore::openFailsClearly() {
    QFETCH(QString, setup);
    QTemporaryDir dir;
    QString folder = dir.path();
    if (setup == u"folder")
        QVERIFY(QDir(folder).mkdir(AddressStore::kTableFile));
    if (setup == u"missing")
        folder += QStringLiteral("/daten");

    AddressStore store;
    try {
        store.open(folder);
        QFAIL("opened");
    } catch (const EDatabaseError& e) {
        QVERIFY2(e.message().contains(folder), qPrintable(e.message()));
    }
    QVERIFY(!store.isOpen());
    // Opening never creates the table.
    QVERIFY(!QFileInfo(QDir(folder).filePath(AddressStore::kIndexFile)).exists());
    if (setup == u"empty")
        QVERIFY(QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void TstAddressStore::damagedTableIsNeverTouched_data() {
    QTest::addColumn<QString>("damage");
    QTest::newRow("not an SQLite file") << QStringLiteral("garbage");
    QTest::newRow("text file") << QStringLiteral("text");
    QTest::newRow("truncated to half") << QStringLiteral("truncated");
    QTest::newRow("only the header") << QStringLiteral("header");
    QTest::newRow("empty file") << QStringLiteral("empty");
    QTest::newRow("another database") << QStringLiteral("foreign");
}

void TstAddressStore::damagedTableIsNeverTouched() {
    QFETCH(QString, damage);
    TableFolder folder;
    std::vector<Record> records;
    for (int i = 0; i < 400; ++i)
        records.push_back(person(QStringLiteral("Name %1").arg(i), QString(40, u'v')));
    folder.add(records);

    QByteArray bytes = readBytes(folder.table());
    if (damage == u"garbage") {
        bytes = QByteArray(8192, '\0');
        for (char& c : bytes)
            c = char(QRandomGenerator::global()->bounded(256));
    } else if (damage == u"text") {
        bytes = "Name;Vorname\r\nAbel;Anna\r\n";
    } else if (damage == u"truncated") {
        bytes.truncate(bytes.size() / 2);
    } else if (damage == u"header") {
        bytes.truncate(100);
    } else if (damage == u"empty") {
        bytes.clear();
    }
    if (damage == u"foreign") {
        QVERIFY(QFile::remove(folder.table()));
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(folder.table()).constData(), &db);
        sqlite3_exec(db, "CREATE TABLE kunden(nr INTEGER, name TEXT)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        bytes = readBytes(folder.table());
    } else {
        QVERIFY(writeBytes(folder.table(), bytes));
    }
    const QByteArray index = readBytes(folder.index());

    AddressTable t;
    t.connectFolder(folder.path());
    try {
        t.open();
        QFAIL("a damaged table was opened");
    } catch (const EDatabaseError& e) {
        QVERIFY2(e.message().contains(folder.table()), qPrintable(e.message()));
    }
    QVERIFY(!t.isActive());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.recordCount());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.open());
    QCOMPARE(readBytes(folder.table()), bytes);
    QCOMPARE(readBytes(folder.index()), index);
    QVERIFY(!QFileInfo::exists(folder.table() + QStringLiteral("-journal")));
}

void TstAddressStore::damageACountMissesIsRefused() {
    TableFolder folder;
    std::vector<Record> records;
    for (int i = 0; i < 400; ++i)
        records.push_back(person(QStringLiteral("Name %1").arg(i), QString(40, u'v')));
    folder.add(records);
    const QByteArray sound = readBytes(folder.table());
    const QByteArray index = readBytes(folder.index());
    const QList<qsizetype> flips = hiddenFlips(
        sound, 4, [](const Image& image) { return image.reads("SELECT count(*) FROM adressen"); });
    QCOMPARE(flips.size(), 4);

    for (const qsizetype at : flips) {
        const QByteArray bytes = flipped(sound, at);
        QVERIFY(writeBytes(folder.table(), bytes));
        AddressTable t;
        t.connectFolder(folder.path());
        try {
            t.open();
            QFAIL(qPrintable(QStringLiteral("opened with the bit at %1 flipped").arg(at)));
        } catch (const EDamagedTable& e) {
            QVERIFY2(e.message().contains(folder.table()), qPrintable(e.message()));
        }
        QVERIFY(!t.isActive());
        QCOMPARE(readBytes(folder.table()), bytes);
        QCOMPARE(readBytes(folder.index()), index);
        QVERIFY(!QFileInfo::exists(folder.table() + QStringLiteral("-journal")));
    }
}

void TstAddressStore::damagedIndexIsRebuiltNeverWritten_data() {
    QTest::addColumn<bool>("inShownOrder");
    QTest::newRow("outside the order shown at open") << false;
    QTest::newRow("in the order shown at open") << true;
}

void TstAddressStore::damagedIndexIsRebuiltNeverWritten() {
    QFETCH(bool, inShownOrder);
    TableFolder folder;
    std::vector<Record> records;
    for (int i = 0; i < 400; ++i)
        records.push_back(person(QStringLiteral("Name %1").arg(i, 3, 10, QChar(u'0')),
                                 QStringLiteral("Vorname %1").arg(i), QString(),
                                 QStringLiteral("Ort %1").arg(i % 7)));
    folder.add(records);
    std::map<qint64, Record> before;
    QVERIFY(verifyFiles(folder.path(), &before).isEmpty());
    const QList<qsizetype> flips = hiddenFlips(
        readBytes(folder.index()), 1, [counts = countsOfIndexes(), inShownOrder](const Image& i) {
            return i.reads(counts) &&
                   i.reads("SELECT key, id FROM \"NAME\" ORDER BY key, id") != inShownOrder;
        });
    QCOMPARE(flips.size(), 1);
    const QByteArray damaged = flipped(readBytes(folder.index()), flips.first());
    QVERIFY(writeBytes(folder.index(), damaged));

    AddressTable t;
    QSignalSpy spy(&t, &AddressTable::indexDamaged);
    t.connectFolder(folder.path());
    // Building the number table, which this index file lacks, would write into it.
    t.setNumberKeys(std::make_shared<DigitKeys>());
    t.open();
    if (inShownOrder) {
        // Found when the order could not be read, and rebuilt at once.
        QVERIFY(t.indexRebuilt());
    } else {
        QVERIFY(!t.indexRebuilt());
        QVERIFY2(t.numberIndexError().contains(folder.index()), qPrintable(t.numberIndexError()));
        QVERIFY(spy.wait(10000));
        QVERIFY2(spy.first().first().toString().contains(folder.index()),
                 qPrintable(spy.first().first().toString()));
        // Nothing is written into the damaged file until it is rebuilt.
        t.first();
        t.edit();
        t.setFieldValue(fName, QStringLiteral("Geändert"));
        QVERIFY_THROWS_EXCEPTION(EDamagedTable, t.post());
        QCOMPARE(t.state(), AddressTable::State::Edit);
        t.cancel();
        QVERIFY_THROWS_EXCEPTION(EDamagedTable, t.deleteRecord());
        QCOMPARE(readBytes(folder.index()), damaged);
        t.close();
        t.open();
        QVERIFY(t.indexRebuilt());
    }
    QCOMPARE(t.rowCount(), 400);
    QCOMPARE(t.numberIndexError(), QString());
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Name 000"));
    t.last();
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Name 399"));
    t.close();
    std::map<qint64, Record> after;
    const QString problem = verifyFiles(folder.path(), &after);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(after == before);
    QCoreApplication::processEvents();
    QCOMPARE(spy.size(), inShownOrder ? 0 : 1);
}

void TstAddressStore::foreignObjectsAreRefused_data() {
    QTest::addColumn<QByteArray>("sql");
    QTest::addColumn<QString>("named");
    QTest::newRow("trigger") << QByteArray("CREATE TRIGGER spy AFTER INSERT ON adressen BEGIN "
                                           "DELETE FROM meta; END")
                             << QStringLiteral("trigger \"spy\"");
    QTest::newRow("view") << QByteArray("CREATE VIEW alle AS SELECT * FROM adressen")
                          << QStringLiteral("view \"alle\"");
    QTest::newRow("index") << QByteArray("CREATE INDEX nach_name ON adressen(\"Name\")")
                           << QStringLiteral("index \"nach_name\"");
    QTest::newRow("another table")
        << QByteArray("CREATE TABLE kunden(nr, name)") << QStringLiteral("table \"kunden\"");
    QTest::newRow("a column added") << QByteArray("ALTER TABLE adressen ADD COLUMN extra TEXT")
                                    << QStringLiteral("laid out differently: table \"adressen\"");
    QTest::newRow("name with line breaks")
        << QByteArray("CREATE TRIGGER \"x\r\n[search]\" AFTER DELETE ON adressen BEGIN SELECT 1; "
                      "END")
        << QStringLiteral("trigger \"x [search]\"");
}

void TstAddressStore::foreignObjectsAreRefused() {
    QFETCH(QByteArray, sql);
    QFETCH(QString, named);
    TableFolder folder;
    folder.add({person(QStringLiteral("Abel")), person(QStringLiteral("Meier"))});
    QCOMPARE(kalvendo::test::execSql(folder.table(), sql), QString());
    const QByteArray table = readBytes(folder.table());
    const QByteArray index = readBytes(folder.index());

    AddressTable t;
    t.connectFolder(folder.path());
    try {
        t.open();
        QFAIL("a foreign table was opened");
    } catch (const EForeignTable& e) {
        QVERIFY2(e.message().contains(folder.table()), qPrintable(e.message()));
        QVERIFY2(e.message().contains(named), qPrintable(e.message()));
        QVERIFY(!e.message().contains(u'\n') && !e.message().contains(u'\r'));
    }
    QVERIFY(!t.isActive());
    QCOMPARE(readBytes(folder.table()), table);
    QCOMPARE(readBytes(folder.index()), index);
    QVERIFY(!QFileInfo::exists(folder.table() + QStringLiteral("-journal")));
}

void TstAddressStore::untrustedIndexIsRebuilt_data() {
    QTest::addColumn<QString>("tamper");
    QTest::addColumn<bool>("rebuilt");
    QTest::newRow("untouched") << QStringLiteral("none") << false;
    QTest::newRow("deleted") << QStringLiteral("delete") << true;
    QTest::newRow("garbage") << QStringLiteral("garbage") << true;
    QTest::newRow("empty file") << QStringLiteral("empty") << true;
    QTest::newRow("other collation") << QStringLiteral("collation") << true;
    QTest::newRow("other generation") << QStringLiteral("generation") << true;
    QTest::newRow("a row missing") << QStringLiteral("row") << true;
    QTest::newRow("an index missing") << QStringLiteral("table") << true;
    QTest::newRow("index of another table") << QStringLiteral("foreign") << true;
    QTest::newRow("older copy restored") << QStringLiteral("older") << true;
    QTest::newRow("trigger planted") << QStringLiteral("trigger") << true;
    QTest::newRow("view planted") << QStringLiteral("view") << true;
}

void TstAddressStore::untrustedIndexIsRebuilt() {
    QFETCH(QString, tamper);
    QFETCH(bool, rebuilt);
    TableFolder folder;
    std::vector<Record> records;
    for (const char* n : {"Zander", "Müller", "Abel", "Ärger", "Mueller", "Schmidt", "Schmidt"})
        records.push_back(person(QString::fromUtf8(n), {}, {}, QString::fromUtf8(n).right(2)));
    folder.add(records);

    QStringList byName, byTown;
    {
        AddressTable t;
        t.connectFolder(folder.path());
        t.open();
        byName = walkNames(t);
        t.setIndexName(QStringLiteral("WOHNORT"));
        byTown = walkNames(t);
    }

    const QString idx = folder.index();
    if (tamper == u"delete") {
        QVERIFY(QFile::remove(idx));
    } else if (tamper == u"garbage") {
        QVERIFY(writeBytes(idx, QByteArray(3000, 'x')));
    } else if (tamper == u"empty") {
        QVERIFY(writeBytes(idx, QByteArray()));
    } else if (tamper == u"collation") {
        QCOMPARE(kalvendo::test::execSql(
                     idx, "UPDATE meta SET value = 'de/de collator 1.0 icu 1.0' WHERE key = "
                          "'collation'"),
                 QString());
    } else if (tamper == u"generation") {
        QCOMPARE(kalvendo::test::execSql(
                     idx, "UPDATE meta SET value = value + 5 WHERE key = 'generation'"),
                 QString());
    } else if (tamper == u"row") {
        QCOMPARE(kalvendo::test::execSql(
                     idx, "DELETE FROM \"VORNAME\" WHERE id = (SELECT max(id) FROM \"VORNAME\")"),
                 QString());
    } else if (tamper == u"table") {
        QCOMPARE(kalvendo::test::execSql(idx, "DROP TABLE \"GRUPPE\""), QString());
    } else if (tamper == u"trigger") {
        // Would drop the first-name row of every record whose name is indexed.
        QCOMPARE(kalvendo::test::execSql(idx, "CREATE TRIGGER t AFTER INSERT ON \"NAME\" BEGIN "
                                              "DELETE FROM \"VORNAME\" WHERE id = new.id; END"),
                 QString());
    } else if (tamper == u"view") {
        QCOMPARE(kalvendo::test::execSql(idx, "CREATE VIEW v AS SELECT * FROM \"NAME\""),
                 QString());
    } else if (tamper == u"foreign") {
        TableFolder other;
        other.add(records);
        QVERIFY(QFile::remove(idx));
        QVERIFY(QFile::copy(other.index(), idx));
    } else if (tamper == u"older") {
        // A restore that brings back the index of an earlier state of the table.
        const QByteArray before = readBytes(idx);
        folder.add({person(QStringLiteral("Neu"), {}, {}, QStringLiteral("eu"))});
        QVERIFY(writeBytes(idx, before));
        AddressTable t;
        t.connectFolder(folder.path());
        t.open();
        QVERIFY(t.indexRebuilt());
        QCOMPARE(t.rowCount(), 8);
        QVERIFY(t.locate(QStringLiteral("Name"), QStringLiteral("Neu")));
        return;
    }

    AddressTable t;
    t.connectFolder(folder.path());
    t.open();
    QCOMPARE(t.indexRebuilt(), rebuilt);
    QCOMPARE(walkNames(t), byName);
    t.setIndexName(QStringLiteral("WOHNORT"));
    QCOMPARE(walkNames(t), byTown);
    t.close();
    const QString problem = verifyFiles(folder.path());
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    // Once rebuilt, the index is trusted again.
    t.open();
    QVERIFY(!t.indexRebuilt());
    // and holds nothing but the indexes.
    t.append();
    t.setFieldValue(fName, QStringLiteral("Neu"));
    t.post();
    t.close();
    QVERIFY(verifyFiles(folder.path()).isEmpty());
}

void TstAddressStore::staleSuperJournalsAreRemoved() {
    TableFolder folder;
    folder.add({person(QStringLiteral("Abel"))});
    // As a crash between writing a super-journal and naming it in the journals leaves them.
    const QByteArray list = QFile::encodeName(folder.table()) + "-journal\0" +
                            QFile::encodeName(folder.index()) + "-journal\0";
    const QStringList stale{QStringLiteral("adressen.adt-mj1A2B3C9D4"),
                            QStringLiteral("adressen.adt-mj0F00A79FF")};
    // Names SQLite never gives a super-journal of the table are not ours to remove.
    const QStringList others{QStringLiteral("adressen.adt-mjNotizen.txt"),
                             QStringLiteral("adressen.adi-mj1A2B3C9D4")};
    for (const QString& name : stale + others)
        QVERIFY(writeBytes(QDir(folder.path()).filePath(name), list));

    {
        // While another connection holds the write lock, a commit may be under way.
        sqlite3* other = nullptr;
        sqlite3_open(QFile::encodeName(folder.table()).constData(), &other);
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        AddressTable t;
        t.connectFolder(folder.path());
        t.open();
        QCOMPARE(t.recordCount(), 1);
        QCOMPARE(superJournals(folder.path()).size(), 3);
        t.close();
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
    }

    // Journals a crash left before they were synced: their first bytes are
    // still zero, so SQLite ignores them and they name nothing.
    QByteArray cold(512, '\0');
    cold += list;
    QVERIFY(writeBytes(folder.table() + QStringLiteral("-journal"), cold));
    QVERIFY(writeBytes(folder.index() + QStringLiteral("-journal"), cold));

    AddressTable t;
    t.connectFolder(folder.path());
    t.open();
    QCOMPARE(superJournals(folder.path()), QStringList{others.first()});
    for (const QString& name : others)
        QVERIFY(QFileInfo::exists(QDir(folder.path()).filePath(name)));
    QCOMPARE(t.recordCount(), 1);
    t.append();
    t.setFieldValue(fName, QStringLiteral("Neu"));
    t.post();
    t.close();
    QVERIFY(verifyFiles(folder.path()).isEmpty());
}

void TstAddressStore::killedDuringPostsLosesNothing() {
    TableFolder folder;
    qint64 committed = 0;
    int hotJournals = 0;
    int superJournalsLeft = 0;
    for (int round = 0; round < 4; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kChildFlag), folder.path()});
        QVERIFY2(child.waitForStarted(30000), qPrintable(child.errorString()));
        const qint64 killAt = committed + 30 + 17 * round;
        qint64 reported = committed;
        QByteArray out;
        auto takeLines = [&] {
            out += child.readAllStandardOutput();
            const qsizetype end = out.lastIndexOf('\n');
            if (end < 0)
                return;
            const QList<QByteArray> lines = out.left(end).split('\n');
            reported = lines.last().trimmed().toLongLong();
            out.remove(0, end + 1);
        };
        while (reported < killAt) {
            QVERIFY2(child.waitForReadyRead(60000),
                     qPrintable(QString::fromUtf8(child.readAllStandardError())));
            takeLines();
        }
        child.kill(); // SIGKILL, in the middle of whatever the child is writing
        QVERIFY(child.waitForFinished(30000));
        takeLines();
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        if (QFileInfo::exists(folder.table() + QStringLiteral("-journal")))
            ++hotJournals;

        // The files as the crash left them, before the store opens them.
        std::map<qint64, Record> records;
        const QString problem = verifyFiles(folder.path(), &records);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        const qint64 count = static_cast<qint64>(records.size());
        // Every reported record is there; at most the one whose report was cut off is extra.
        QVERIFY2(count >= reported && count <= reported + 1,
                 qPrintable(QStringLiteral("%1 records, %2 reported").arg(count).arg(reported)));
        QSet<QString> names;
        for (const auto& [id, r] : records)
            names.insert(r[fName]);
        for (qint64 n = 0; n < count; ++n)
            QVERIFY2(names.contains(crashName(n)), qPrintable(crashName(n)));

        superJournalsLeft += int(superJournals(folder.path()).size());
        AddressTable t;
        t.connectFolder(folder.path());
        t.open();
        QVERIFY(!t.indexRebuilt()); // both files were left in step
        QCOMPARE(superJournals(folder.path()), QStringList());
        QCOMPARE(t.recordCount(), count);
        QCOMPARE(t.rowCount(), static_cast<int>(count));
        committed = count;
    }
    qDebug("%d of 4 kills left a transaction to roll back, %d super-journals left behind",
           hotJournals, superJournalsLeft);
}

void TstAddressStore::unwritableFolderKeepsEverything_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("journal cannot be created") << QStringLiteral("journal");
    QTest::newRow("folder read-only") << QStringLiteral("folder");
    QTest::newRow("files read-only") << QStringLiteral("files");
}

void TstAddressStore::unwritableFolderKeepsEverything() {
    QFETCH(QString, how);
    TableFolder folder;
    folder.add({person(QStringLiteral("Abel")), person(QStringLiteral("Meier")),
                person(QStringLiteral("Zander"))});
    std::map<qint64, Record> before;
    QVERIFY(verifyFiles(folder.path(), &before).isEmpty());

    AddressTable t;
    t.connectFolder(folder.path());
    std::unique_ptr<kalvendo::test::ReadOnly> readOnly;
    const QString journal = folder.table() + QStringLiteral("-journal");
    if (how == u"journal") {
        t.open();
        QVERIFY(QDir().mkdir(journal));
    } else if (how == u"folder") {
        t.open();
        readOnly = std::make_unique<kalvendo::test::ReadOnly>(QStringList{folder.path()});
    } else {
        readOnly =
            std::make_unique<kalvendo::test::ReadOnly>(QStringList{folder.table(), folder.index()});
        t.open(); // reading works without write access
    }
    if (readOnly && !readOnly->ok())
        QSKIP("cannot make the folder read-only here");

    t.next();
    t.edit();
    t.setFieldValue(fName, QStringLiteral("Geändert"));
    try {
        t.post();
        QFAIL("post succeeded");
    } catch (const EDatabaseError& e) {
        QVERIFY2(e.message().contains(folder.table()), qPrintable(e.message()));
    }
    QCOMPARE(t.state(), AddressTable::State::Edit);
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Geändert"));
    QVERIFY(t.isModified());
    // Moving away tries to save, fails the same way and stays.
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.next());
    QCOMPARE(t.state(), AddressTable::State::Edit);
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Geändert"));
    t.cancel();

    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.deleteRecord());
    QCOMPARE(t.recordCount(), 3);
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Meier"));

    t.insert();
    t.setFieldValue(fName, QStringLiteral("Neu"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, t.post());
    QCOMPARE(t.state(), AddressTable::State::Insert);
    QCOMPARE(t.fieldValue(fName), QStringLiteral("Neu"));
    QCOMPARE(t.recordCount(), 3);
    QCOMPARE(t.rowCount(), 3);

    readOnly.reset();
    if (how == u"journal")
        QVERIFY(QDir().rmdir(journal));
    std::map<qint64, Record> during;
    QString problem = verifyFiles(folder.path(), &during);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(during == before);

    // Once the folder is writable again the same values are saved. A table
    // that was opened from read-only files stays read-only until reopened.
    if (how == u"files") {
        t.cancel();
        t.close();
        t.open();
        t.insert();
        t.setFieldValue(fName, QStringLiteral("Neu"));
    }
    t.post();
    QCOMPARE(t.recordCount(), 4);
    std::map<qint64, Record> after;
    problem = verifyFiles(folder.path(), &after);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(after.size(), size_t(4));
    for (const auto& [id, r] : before)
        QVERIFY(after.at(id) == r);
}

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], kChildFlag) == 0) {
        QCoreApplication app(argc, argv);
        try {
            return runPostChild(QString::fromLocal8Bit(argv[2]));
        } catch (const kalvendo::Exception& e) {
            std::fprintf(stderr, "%s: %s\n", e.className(), e.what());
            return 1;
        }
    }
    QCoreApplication app(argc, argv);
    TstAddressStore tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_addressstore.moc"
