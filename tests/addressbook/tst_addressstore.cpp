#include "StoreTestUtil.h"

#include "addressbook/AddressTable.h"
#include "addressbook/DatabaseError.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTest>

#include <cstdio>
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

} // namespace

class TstAddressStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void createTableLaysOutBothFiles();
    void openFailsClearly_data();
    void openFailsClearly();
    void damagedTableIsNeverTouched_data();
    void damagedTableIsNeverTouched();
    void untrustedIndexIsRebuilt_data();
    void untrustedIndexIsRebuilt();
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
}

void TstAddressStore::killedDuringPostsLosesNothing() {
    TableFolder folder;
    qint64 committed = 0;
    int hotJournals = 0;
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

        AddressTable t;
        t.connectFolder(folder.path());
        t.open();
        QVERIFY(!t.indexRebuilt()); // both files were left in step
        QCOMPARE(t.recordCount(), count);
        QCOMPARE(t.rowCount(), static_cast<int>(count));
        committed = count;
    }
    qDebug("%d of 4 kills left a transaction to roll back", hotJournals);
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
