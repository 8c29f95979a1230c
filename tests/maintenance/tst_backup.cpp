#include "MaintenanceTestUtil.h"

#include "settings/Backup.h"
#include "settings/MaintenanceBatch.h"
#include "settings/Restore.h"
#include "testsupport/FullDisk.h"

#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

namespace {

const QDate kDay(2024, 3, 7);
const QString kDayName = QStringLiteral("07032024");

QString writeCol(const AppFolder& app, const QByteArray& bytes = "[col]\r\nw0=80\r\n") {
    app.write(QStringLiteral("col.ini"), bytes);
    return app.dataFile(QStringLiteral("col.ini"));
}

// Everything in a folder except the two table files and their journals.
QMap<QString, QByteArray> withoutTable(QMap<QString, QByteArray> files) {
    for (const QString& name : files.keys()) {
        if (name.startsWith(QStringLiteral("adressen.ad")))
            files.remove(name);
    }
    return files;
}

void addMany(const AppFolder& app, int count) {
    AddressStore store;
    store.open(app.data());
    store.insertRecords(std::vector<Record>(size_t(count), person(QStringLiteral("Neu"))));
}

} // namespace

class TestBackup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void datedName_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("German: points removed") << "de_DE"
                                                << "07032024";
        QTest::newRow("slashes would nest folders") << "en_US"
                                                    << "03-07-2024";
        QTest::newRow("points and blanks") << "hu_HU"
                                           << "2024 03 07";
        QTest::newRow("ISO with dashes") << "sv_SE"
                                         << "2024-03-07";
    }
    void datedName() {
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        QCOMPARE(datedFolderName(kDay, QLocale(locale)), expected);
    }

    // The table stays open while the data folder is copied; the copy holds
    // every file and subfolder, the table as one consistent state, no journals.
    void backupCopiesDataFolder_data() {
        QTest::addColumn<QString>("separator");
        QTest::newRow("dbpath without trailing separator") << "";
        QTest::newRow("dbpath with trailing separator") << "/";
    }
    void backupCopiesDataFolder() {
        QFETCH(QString, separator);
        AppFolder app;
        app.addRecords({{"Adler", "Anna", ""}, {"Berg", "Bernd", "Kunden"}});
        writeCol(app);
        QVERIFY(QDir().mkpath(app.dataFile(QStringLiteral("vorlagen/alt"))));
        app.write(QStringLiteral("vorlagen/alt/brief.txt"), "Sehr geehrte");
        QTemporaryDir backups;
        setBackupFolder(app, backups.path() + separator);

        AddressStore open;
        open.open(app.data());
        // A journal belongs to the live table and is never copied beside the copy.
        app.write(QStringLiteral("adressen.adt-journal"), QByteArray());

        QList<qint64> dones;
        qint64 lastTotal = -1;
        const BackupOutcome outcome = backUpData(
            app.path(),
            [&](qint64 d, qint64 t) {
                dones << d;
                lastTotal = t;
            },
            kDay, QLocale(QStringLiteral("de_DE")));
        QCOMPARE(outcome.notice.key, notice::msgdbstored.key);
        QCOMPARE(outcome.notice.text([](const QString& k) { return k.toUpper(); }),
                 QStringLiteral("       MSGDBSTORED       "));
        const QString target = backups.path() + u'/' + kDayName;
        QCOMPARE(outcome.target, target);
        QCOMPARE(
            QDir(backups.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{kDayName});

        QMap<QString, QByteArray> expected = withoutTable(snapshot(app.data()));
        QCOMPARE(withoutTable(snapshot(target)), expected);
        QVERIFY(!QFileInfo::exists(target + QStringLiteral("/adressen.adt-journal")));
        QString problem;
        QCOMPARE(namesIn(target, &problem),
                 (QStringList{QStringLiteral("Adler"), QStringLiteral("Berg")}));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        QVERIFY(!dones.isEmpty());
        QCOMPARE(dones.first(), 0);
        QCOMPARE(dones.last(), lastTotal);
        QVERIFY(std::is_sorted(dones.begin(), dones.end()));
    }

    void backupFolderMissing_data() {
        QTest::addColumn<QString>("dbpath");
        QTest::newRow("not set") << "";
        QTest::newRow("no such folder") << "nosuch";
        QTest::newRow("a file") << "file.txt";
    }
    void backupFolderMissing() {
        QFETCH(QString, dbpath);
        AppFolder app;
        QTemporaryDir place;
        writeBytes(place.filePath(QStringLiteral("file.txt")), "x");
        setBackupFolder(app, dbpath.isEmpty() ? dbpath : place.filePath(dbpath));
        const auto before = snapshot(place.path());
        const BackupOutcome outcome = backUpData(app.path(), {}, kDay);
        QCOMPARE(outcome.notice.key, notice::msgpath.key);
        QCOMPARE(outcome.notice.kind, NoticeKind::Error);
        QCOMPARE(outcome.notice.framed(QStringLiteral("Sicherungspfad existiert nicht!")),
                 QStringLiteral("       Sicherungspfad existiert nicht!       "));
        QVERIFY(outcome.target.isEmpty());
        QCOMPARE(snapshot(place.path()), before);
    }

    // The second backup of a day replaces the first completely.
    void secondBackupOfTheDayReplacesFirst() {
        AppFolder app;
        app.addRecords({{"Erst", "", ""}});
        app.write(QStringLiteral("only-first.txt"), "1");
        QTemporaryDir backups;
        const QString target = backups.path() + u'/' + kDayName;
        backupDataFolder(app.data(), target);
        QVERIFY(QFileInfo::exists(target + QStringLiteral("/only-first.txt")));

        QVERIFY(QFile::remove(app.dataFile(QStringLiteral("only-first.txt"))));
        app.addRecords({{"Zweit", "", ""}});
        backupDataFolder(app.data(), target);
        QVERIFY(!QFileInfo::exists(target + QStringLiteral("/only-first.txt")));
        QCOMPARE(namesIn(target), (QStringList{QStringLiteral("Erst"), QStringLiteral("Zweit")}));
        QCOMPARE(
            QDir(backups.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{kDayName});
    }

    // A backup that does not fit leaves the earlier one of that day whole.
    void failedBackupKeepsEarlierCopy() {
        FullDisk disk(1024);
        if (!disk.available())
            QSKIP("mounting a small tmpfs needs root");
        AppFolder app;
        app.addRecords({{"Erst", "", ""}});
        const QString target = disk.file(kDayName);
        backupDataFolder(app.data(), target);
        const auto first = snapshot(target);

        QByteArray big(1000 * 1024, 'x');
        app.write(QStringLiteral("big.bin"), big);
        try {
            backupDataFolder(app.data(), target);
            QFAIL("a backup larger than the disk succeeded");
        } catch (const EDataCopyError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("big.bin")), qPrintable(e.message()));
        }
        QCOMPARE(snapshot(target), first);
        QCOMPARE(QDir(disk.file(QString()))
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{kDayName});
    }

    void backupInsideDataFolderRefused() {
        AppFolder app;
        const auto before = snapshot(app.data());
        QVERIFY_THROWS_EXCEPTION(EBackupError,
                                 backupDataFolder(app.data(), app.dataFile(kDayName)));
        QCOMPARE(snapshot(app.data()), before);
    }

    // Another process writes the table all the time; every copy is a table
    // and index that belong together (the index is not rebuilt on opening it).
    void backupWhileAnotherProcessWrites() {
        AppFolder app;
        QProcess writer;
        // Stops the writer however the test ends.
        struct Stop {
            const AppFolder& app;
            QProcess& writer;
            ~Stop() {
                app.write(QStringLiteral("stop"), "");
                if (!writer.waitForFinished(20000))
                    writer.kill();
            }
        } stop{app, writer};
        writer.start(QStringLiteral(TABLE_WRITER), {app.data()});
        QVERIFY(writer.waitForStarted());
        QVERIFY(writer.waitForReadyRead(10000));
        QCOMPARE(writer.readLine().trimmed(), QByteArray("ready"));

        QTemporaryDir backups;
        for (int round = 0; round < 6; ++round) {
            const QString target = backups.filePath(QString::number(round));
            backupDataFolder(app.data(), target);
            QString problem;
            QVERIFY(!namesIn(target, &problem).isEmpty());
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
            AddressStore copy;
            copy.open(target);
            QVERIFY(!copy.indexRebuilt());
            QTest::qWait(30);
        }
        QCOMPARE(writer.state(), QProcess::Running);
    }

    // Restoring from a backup made by the program brings its records back and
    // leaves the preferences, the groups and the column widths alone.
    void restoreFromOwnBackup() {
        AppFolder app;
        app.addRecords({{"Adler", "", ""}, {"Berg", "", ""}});
        writeCol(app);
        QTemporaryDir backups;
        const QString backup = backups.filePath(kDayName);
        backupDataFolder(app.data(), backup);
        // The backup holds other versions of the side files.
        writeBytes(backup + QStringLiteral("/ab.ini"), "[preferences]\r\nlanguage=English\r\n");
        writeBytes(backup + QStringLiteral("/group.txt"), "Fremd\r\n");
        writeBytes(backup + QStringLiteral("/col.ini"), "[col]\r\nw0=1\r\n");
        app.addRecords({{"Danach", "", ""}});
        const auto sideFiles = withoutTable(snapshot(app.data()));

        AddressStore store;
        store.open(app.data());
        QStringList steps;
        const RestoreOutcome outcome = restoreDatabase(
            backup, app.data(),
            [&] {
                steps << QStringLiteral("disconnect");
                store.close();
            },
            [&] {
                steps << QStringLiteral("reconnect");
                store.open(app.data());
            });
        QCOMPARE(outcome.notice.key, notice::dbres.key);
        QVERIFY(outcome.error.isEmpty());
        QCOMPARE(steps, (QStringList{QStringLiteral("disconnect"), QStringLiteral("reconnect")}));
        QCOMPARE(store.recordCount(), 2);
        QCOMPARE(namesIn(app.data()),
                 (QStringList{QStringLiteral("Adler"), QStringLiteral("Berg")}));
        QCOMPARE(withoutTable(snapshot(app.data())), sideFiles);
        QVERIFY(!snapshot(app.data()).contains(QStringLiteral("adressen.adt-journal")));
    }

    // A source folder without both good files changes nothing in the data folder.
    void restoreFromBadFolderChangesNothing_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("empty folder") << "empty";
        QTest::newRow("index missing") << "no index";
        QTest::newRow("table missing") << "no table";
        QTest::newRow("table not a database") << "table garbage";
        QTest::newRow("table cut short") << "table cut";
        QTest::newRow("index not a database") << "index garbage";
        QTest::newRow("table of another program") << "foreign table";
        QTest::newRow("index without the indexes") << "foreign index";
    }
    void restoreFromBadFolderChangesNothing() {
        QFETCH(QString, damage);
        AppFolder app;
        app.addRecords({{"Alt", "", ""}});
        QTemporaryDir backups;
        const QString source = backups.filePath(QStringLiteral("src"));
        {
            AppFolder other;
            addMany(other, 40);
            backupDataFolder(other.data(), source);
        }
        const QString table = source + QStringLiteral("/adressen.adt");
        const QString index = source + QStringLiteral("/adressen.adi");
        if (damage == u"empty") {
            QFile::remove(table);
            QFile::remove(index);
        } else if (damage == u"no index") {
            QFile::remove(index);
        } else if (damage == u"no table") {
            QFile::remove(table);
        } else if (damage == u"table garbage") {
            writeBytes(table, QByteArray(8192, 'g'));
        } else if (damage == u"table cut") {
            const QByteArray bytes = readBytes(table);
            QVERIFY(bytes.size() > 8192);
            writeBytes(table, bytes.left(bytes.size() / 2));
        } else if (damage == u"index garbage") {
            writeBytes(index, QByteArray(8192, 'g'));
        } else if (damage == u"foreign table") {
            QFile::remove(table);
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(table).constData(), &db), SQLITE_OK);
            sqlite3_exec(db, "CREATE TABLE adressen(id, name)", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        } else if (damage == u"foreign index") {
            QCOMPARE(execSql(index, "DROP TABLE \"NAME\""), QString());
        }
        const auto before = snapshot(app.data());

        AddressStore store;
        store.open(app.data());
        int reconnects = 0;
        const RestoreOutcome outcome = restoreDatabase(
            source, app.data(), [&] { store.close(); },
            [&] {
                ++reconnects;
                store.open(app.data());
            });
        QCOMPARE(outcome.notice.key, notice::dbreserror.key);
        QVERIFY(!outcome.error.isEmpty());
        QCOMPARE(reconnects, 1);
        QVERIFY(store.isOpen());
        store.close();
        QCOMPARE(snapshot(app.data()), before);
        QCOMPARE(namesIn(app.data()), QStringList{QStringLiteral("Alt")});
    }

    // When the files cannot take their places, the old ones are put back.
    void restoreThatCannotReplaceChangesNothing() {
        AppFolder app;
        app.addRecords({{"Alt", "", ""}});
        QTemporaryDir backups;
        const QString source = backups.filePath(QStringLiteral("src"));
        {
            AppFolder other;
            other.addRecords({{"Neu", "", ""}});
            backupDataFolder(other.data(), source);
        }
        const auto before = snapshot(app.data());
        {
            // The table, the second file to be replaced, refuses to move.
            ReadOnly locked({app.dataFile(QStringLiteral("adressen.adt"))});
            if (!locked.ok())
                QSKIP("the file system cannot make a file unchangeable here");
            QVERIFY_THROWS_EXCEPTION(ERestoreError, restoreTableFiles(source, app.data()));
        }
        QCOMPARE(snapshot(app.data()), before);
    }

    // A journal that the old table left after a crash must not be played
    // back into the restored table.
    void restoreSetsAsideTheOldTablesJournal() {
        AppFolder app;
        app.addRecords({{"Alt", "", ""}});
        const QString table = app.dataFile(QStringLiteral("adressen.adt"));
        QTemporaryDir backups;
        const QString source = backups.filePath(QStringLiteral("src"));
        {
            AppFolder other;
            addMany(other, 300);
            backupDataFolder(other.data(), source);
        }

        // A transaction too big for a tiny cache writes pages into the file
        // before its commit, so its journal is hot while it lasts.
        QByteArray hotJournal;
        {
            QByteArray columns, values;
            for (int i = 0; i < kFieldCount; ++i) {
                columns += QByteArray(i ? "," : "") + '"' + fieldDef(i).name + '"';
                values += i ? ",''" : "hex(randomblob(500))";
            }
            const QByteArray insert =
                "INSERT INTO adressen(" + columns + ") VALUES (" + values + ")";
            const qint64 size = QFileInfo(table).size();
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(table).constData(), &db), SQLITE_OK);
            sqlite3_exec(db, "PRAGMA cache_size=2; BEGIN", nullptr, nullptr, nullptr);
            for (int i = 0; i < 400 && QFileInfo(table).size() == size; ++i)
                QCOMPARE(sqlite3_exec(db, insert.constData(), nullptr, nullptr, nullptr),
                         SQLITE_OK);
            if (QFileInfo(table).size() != size)
                hotJournal = readBytes(table + QStringLiteral("-journal"));
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
        if (hotJournal.isEmpty())
            QSKIP("no journal could be caught");
        app.write(QStringLiteral("adressen.adt-journal"), hotJournal);

        restoreTableFiles(source, app.data());
        QString problem;
        QCOMPARE(namesIn(app.data(), &problem).size(), 300);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY(!QFileInfo::exists(table + QStringLiteral("-journal")));
    }

    // What the command line runs: no window, no named strings.
    void batchBackupAndRestore() {
        AppFolder app;
        app.addRecords({{"Adler", "", ""}});
        QTemporaryDir backups;
        setBackupFolder(app, QString());
        QVERIFY_THROWS_EXCEPTION(EBatchError, runBackup(app.path()));
        QVERIFY_THROWS_EXCEPTION(EBatchError,
                                 runBackup(app.path(), backups.filePath(QStringLiteral("nosuch"))));

        const QString made = runBackup(app.path(), backups.path());
        QCOMPARE(made, backups.path() + u'/' + datedFolderName(QDate::currentDate()));
        setBackupFolder(app, backups.path() + u'/');
        QCOMPARE(runBackup(app.path()), made);

        app.addRecords({{"Danach", "", ""}});
        runRestore(app.path(), made);
        QCOMPARE(namesIn(app.data()), QStringList{QStringLiteral("Adler")});
        QFile::remove(made + QStringLiteral("/adressen.adi"));
        QVERIFY_THROWS_EXCEPTION(ERestoreError, runRestore(app.path(), made));
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
