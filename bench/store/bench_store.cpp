// Times the address table on 100,000 generated records and prints each figure
// beside the same work done with plain SQLite calls in the same run.
//
//   bench_store [records]

#include "addressbook/AddressStore.h"
#include "addressbook/AddressTable.h"
#include "addressbook/Collation.h"
#include "addressbook/Fields.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace kalvendo;

namespace {

double ms(const std::function<void()>& work, int repeat = 3) {
    double best = 1e30;
    for (int i = 0; i < repeat; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

void report(const char* what, double ours, double plain) {
    std::printf("%-34s %9.2f ms   plain SQLite %9.2f ms   ratio %5.2f\n", what, ours, plain,
                plain > 0 ? ours / plain : 0.0);
    std::fflush(stdout);
}

void check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

void exec(sqlite3* db, const char* sql) {
    check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db);
}

sqlite3* openPlain(const QString& folder, bool attach) {
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(
              QFile::encodeName(QDir(folder).filePath(AddressStore::kTableFile)).constData(), &db,
              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
          db);
    // The store's settings, so that the baseline differs only in the work done.
    exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=-64000");
    if (attach) {
        const QByteArray sql =
            "ATTACH DATABASE '" +
            QFile::encodeName(QDir(folder).filePath(AddressStore::kIndexFile)) +
            "' AS idx; PRAGMA idx.journal_mode=DELETE; PRAGMA idx.synchronous=FULL";
        exec(db, sql.constData());
    }
    return db;
}

QString text(sqlite3_stmt* st, int c) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                             sqlite3_column_bytes(st, c));
}

QByteArray columns() {
    QByteArray s;
    for (int i = 0; i < kFieldCount; ++i)
        s += QByteArray(i ? ", " : "") + "a.\"" + fieldDef(i).name + '"';
    return s;
}

// Plain SQLite: everything in index order, all fields read as text.
int plainWalk(sqlite3* db, const char* where, const QString& value) {
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = "SELECT " + columns() +
                           " FROM idx.\"NAME\" AS o CROSS JOIN main.adressen AS a ON a.id = o.id " +
                           where + " ORDER BY o.key, o.id";
    check(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), db);
    if (*where) {
        const QByteArray v = value.toUtf8();
        sqlite3_bind_text(st, 1, v.constData(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    int n = 0;
    QString sink;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < kFieldCount; ++c)
            sink = text(st, c);
        ++n;
    }
    sqlite3_finalize(st);
    return n;
}

Record generated(QRandomGenerator& rng, int i) {
    static const char* syllables[] = {"Mül", "ler", "Schmi", "dt",   "Mey", "er", "Wag", "ner",
                                      "Bec", "ker", "Hof",   "mann", "Öz",  "de", "mir", "Kä",
                                      "Zan", "der", "Ab",    "el",   "Wei", "ß",  "Fi",  "scher"};
    auto word = [&](int parts) {
        QString w;
        for (int p = 0; p < parts; ++p)
            w += QString::fromUtf8(syllables[rng.bounded(int(std::size(syllables)))]);
        return w;
    };
    Record r;
    r[fName] = word(2 + rng.bounded(2));
    r[fVorname] = word(2);
    r[fStrasse] = word(2) + QStringLiteral("straße");
    r[fNr] = QString::number(rng.bounded(200));
    r[fPLZ] = QStringLiteral("%1").arg(rng.bounded(1000, 99999), 5, 10, QChar(u'0'));
    r[fWohnort] = word(2);
    r[fLand] = QStringLiteral("Deutschland");
    const QString tel =
        QStringLiteral("0%1 / %2").arg(rng.bounded(30, 999)).arg(rng.bounded(100000, 9999999));
    r[fTelefon] = tel;
    r[fMobil] = QStringLiteral("017%1 %2").arg(rng.bounded(10)).arg(rng.bounded(1000000, 9999999));
    r[fEmail] = r[fVorname].toLower() + QStringLiteral("@example.org");
    r[fGeburtstag] = QStringLiteral("01.02.19%1").arg(rng.bounded(30, 99));
    r[fGruppe] = QStringLiteral("Gruppe %1").arg(i % 10);
    r[fTsuche] = QString(tel).remove(u' ').remove(u'/');
    r[fHsuche] = QString(r[fMobil]).remove(u' ');
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString folder = dir.path();
    AddressStore::createTable(folder);

    // The records go in with plain SQL in one transaction; the index file is
    // then removed, so the first open has to rebuild it.
    std::printf("generating %d records in %s\n", records, qPrintable(folder));
    {
        QRandomGenerator rng(2009);
        sqlite3* db = openPlain(folder, false);
        exec(db, "BEGIN");
        QByteArray sql = "INSERT INTO adressen(";
        for (int i = 0; i < kFieldCount; ++i)
            sql += QByteArray(i ? ", " : "") + '"' + fieldDef(i).name + '"';
        sql += ") VALUES (?1";
        for (int i = 2; i <= kFieldCount; ++i)
            sql += ",?" + QByteArray::number(i);
        sql += ')';
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), db);
        for (int n = 0; n < records; ++n) {
            const Record r = generated(rng, n);
            for (int i = 0; i < kFieldCount; ++i) {
                const QByteArray v = r[i].toUtf8();
                sqlite3_bind_text(st, i + 1, v.constData(), static_cast<int>(v.size()),
                                  SQLITE_TRANSIENT);
            }
            check(sqlite3_step(st), db);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        exec(db, "COMMIT");
        sqlite3_close(db);
    }
    const QString indexFile = QDir(folder).filePath(AddressStore::kIndexFile);
    QFile::remove(indexFile);

    AddressTable table;
    table.connectFolder(folder);

    // Open with rebuild, against plain SQL building the same eleven tables.
    const double rebuild = ms([&] { table.open(); }, 1);
    if (!table.indexRebuilt())
        std::fprintf(stderr, "expected a rebuild\n");
    table.close();
    const QString plainFolder = QDir(folder).filePath(QStringLiteral("plain"));
    QDir().mkpath(plainFolder);
    QFile::copy(QDir(folder).filePath(AddressStore::kTableFile),
                QDir(plainFolder).filePath(AddressStore::kTableFile));
    const double plainRebuild = ms(
        [&] {
            Collation collation;
            sqlite3* db = openPlain(plainFolder, true);
            exec(db, "BEGIN");
            QByteArray cols;
            for (int k = 0; k < kIndexCount; ++k)
                cols += QByteArray(", \"") + fieldDef(indexDef(k).field).name + '"';
            sqlite3_stmt* st = nullptr;
            check(sqlite3_prepare_v2(db,
                                     QByteArray("SELECT id" + cols + " FROM adressen").constData(),
                                     -1, &st, nullptr),
                  db);
            std::vector<std::pair<QByteArray, qint64>> keys[kIndexCount];
            while (sqlite3_step(st) == SQLITE_ROW) {
                for (int k = 0; k < kIndexCount; ++k)
                    keys[k].emplace_back(collation.sortKey(text(st, k + 1)),
                                         sqlite3_column_int64(st, 0));
            }
            sqlite3_finalize(st);
            for (int k = 0; k < kIndexCount; ++k) {
                std::sort(keys[k].begin(), keys[k].end());
                const QByteArray name = QByteArray("idx.\"") + indexDef(k).name + '"';
                exec(db,
                     QByteArray(
                         "CREATE TABLE " + name +
                         "(key BLOB NOT NULL, id INTEGER NOT NULL, PRIMARY KEY(key, id)) WITHOUT "
                         "ROWID")
                         .constData());
                check(sqlite3_prepare_v2(
                          db, QByteArray("INSERT INTO " + name + " VALUES (?1, ?2)").constData(),
                          -1, &st, nullptr),
                      db);
                for (const auto& [key, id] : keys[k]) {
                    sqlite3_bind_blob(st, 1, key.constData(), static_cast<int>(key.size()),
                                      SQLITE_STATIC);
                    sqlite3_bind_int64(st, 2, id);
                    check(sqlite3_step(st), db);
                    sqlite3_reset(st);
                }
                sqlite3_finalize(st);
            }
            exec(db, "COMMIT");
            sqlite3_close(db);
        },
        1);
    report("open, index rebuilt", rebuild, plainRebuild);
    std::printf("   (files: table %.1f MB, index %.1f MB)\n",
                QFileInfo(QDir(folder).filePath(AddressStore::kTableFile)).size() / 1e6,
                QFileInfo(indexFile).size() / 1e6);

    // Open without rebuild: checks, counts and the order list.
    const double open = ms([&] {
        table.close();
        table.open();
    });
    if (table.indexRebuilt())
        std::fprintf(stderr, "unexpected rebuild\n");
    // The baseline counts and loads the order list; with the check it also
    // runs SQLite's page check on the table file, as the store does at open.
    auto plainOpen = [&](const std::vector<const char*>& checks) {
        sqlite3* db = openPlain(folder, true);
        sqlite3_stmt* st = nullptr;
        for (const char* schema : checks) {
            const QByteArray sql = QByteArray("PRAGMA ") + schema + ".quick_check";
            check(sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr), db);
            sqlite3_step(st);
            if (qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok") != 0)
                std::fprintf(stderr, "quick_check of %s failed\n", schema);
            sqlite3_finalize(st);
        }

        for (const char* sql :
             {"SELECT count(*) FROM main.adressen", "SELECT count(*) FROM idx.\"NAME\""}) {
            check(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), db);
            sqlite3_step(st);
            sqlite3_finalize(st);
        }
        std::vector<std::pair<QByteArray, qint64>> order;
        order.reserve(static_cast<size_t>(records));
        check(sqlite3_prepare_v2(db, "SELECT key, id FROM idx.\"NAME\" ORDER BY key, id", -1, &st,
                                 nullptr),
              db);
        while (sqlite3_step(st) == SQLITE_ROW)
            order.emplace_back(QByteArray(static_cast<const char*>(sqlite3_column_blob(st, 0)),
                                          sqlite3_column_bytes(st, 0)),
                               sqlite3_column_int64(st, 1));
        sqlite3_finalize(st);
        sqlite3_close(db);
    };
    const double plainPlain = ms([&] { plainOpen({}); });
    const double plainChecked = ms([&] { plainOpen({"main"}); });
    const double checkTable = ms([&] {
        sqlite3* db = openPlain(folder, true);
        exec(db, "PRAGMA main.quick_check");
        sqlite3_close(db);
    });
    const double checkIndex = ms([&] {
        sqlite3* db = openPlain(folder, true);
        exec(db, "PRAGMA idx.quick_check");
        sqlite3_close(db);
    });
    report("open, no rebuild", open, plainPlain);
    report("  the same against plain with the check", open, plainChecked);
    std::printf("   (quick_check alone: table file %.2f ms at open; index file %.2f ms, run on "
                "a second connection after open)\n",
                checkTable, checkIndex);

    // One post: a changed name (moves the row, rewrites one index row). The
    // three contenders take turns, so a busy disk hits them alike; the figure
    // is the median of the rounds' averages.
    table.moveToRow(records / 2);
    sqlite3* single = openPlain(plainFolder, false);
    sqlite3_stmt* update = nullptr;
    check(sqlite3_prepare_v2(single, "UPDATE adressen SET \"Name\" = ?1 WHERE id = ?2", -1, &update,
                             nullptr),
          single);
    // The same row change plus one index row and both stamps, over both files.
    sqlite3* both = openPlain(plainFolder, true);
    exec(both, "CREATE TABLE IF NOT EXISTS pmeta(key TEXT PRIMARY KEY, value);"
               "INSERT OR IGNORE INTO pmeta VALUES ('generation', 0);"
               "CREATE TABLE IF NOT EXISTS idx.pmeta(key TEXT PRIMARY KEY, value);"
               "INSERT OR IGNORE INTO idx.pmeta VALUES ('generation', 0)");
    const int rounds = 7;
    const int posts = 10;
    std::vector<double> ours, plainOne, plainBoth;
    int flip = 0;
    for (int round = 0; round < rounds; ++round) {
        ours.push_back(ms(
                           [&] {
                               for (int i = 0; i < posts; ++i) {
                                   table.edit();
                                   table.setFieldValue(fName, (flip++ % 2) ? QStringLiteral("Aaa")
                                                                           : QStringLiteral("Zzz"));
                                   table.post();
                               }
                           },
                           1) /
                       posts);
        plainOne.push_back(ms(
                               [&] {
                                   for (int i = 0; i < posts; ++i) {
                                       exec(single, "BEGIN IMMEDIATE");
                                       sqlite3_bind_text(update, 1, (i % 2) ? "Aaa" : "Zzz", -1,
                                                         SQLITE_STATIC);
                                       sqlite3_bind_int64(update, 2, records / 2);
                                       check(sqlite3_step(update), single);
                                       sqlite3_reset(update);
                                       exec(single, "COMMIT");
                                   }
                               },
                               1) /
                           posts);
        plainBoth.push_back(
            ms(
                [&] {
                    for (int i = 0; i < posts; ++i) {
                        exec(both, "BEGIN IMMEDIATE");
                        exec(both, (i % 2) ? "UPDATE adressen SET \"Name\" = 'Aaa' WHERE id = 7"
                                           : "UPDATE adressen SET \"Name\" = 'Zzz' WHERE id = 7");
                        exec(both, "DELETE FROM idx.\"NAME\" WHERE key = x'01' AND id = 7;"
                                   "INSERT INTO idx.\"NAME\" VALUES (x'01', 7);"
                                   "UPDATE pmeta SET value = value + 1;"
                                   "UPDATE idx.pmeta SET value = value + 1");
                        exec(both, "COMMIT");
                    }
                },
                1) /
            posts);
    }
    sqlite3_finalize(update);
    sqlite3_close(single);
    sqlite3_close(both);
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    report("one post (changed name)", median(ours), median(plainOne));
    report("  the same against plain two-file", median(ours), median(plainBoth));

    // Full walk in NAME order, every record's fields read.
    table.setIndexName(QStringLiteral("NAME"));
    int walked = 0;
    const double walk = ms([&] {
        walked = 0;
        QString sink;
        for (table.first(); !table.eof(); table.next()) {
            sink = table.fieldValue(fName);
            ++walked;
        }
    });
    sqlite3* plain = openPlain(folder, true);
    const double plainWalkMs = ms([&] { plainWalk(plain, "", QString()); });
    report("full walk First..Next (NAME)", walk, plainWalkMs);
    if (walked != records)
        std::fprintf(stderr, "walked %d of %d\n", walked, records);

    // Locate matching the last record in NAME order (case-insensitive, partial):
    // the last record gets a first name no other record begins with.
    table.last();
    table.edit();
    table.setFieldValue(fVorname, QStringLiteral("Zuletzt"));
    table.post();
    const QString lastFirst = QStringLiteral("zuLETZT");
    const double locate = ms([&] {
        table.first();
        if (!table.locate(QStringLiteral("Vorname"), lastFirst,
                          AddressTable::CaseInsensitive | AddressTable::Partial) ||
            table.currentRow() != table.rowCount() - 1)
            std::fprintf(stderr, "locate failed\n");
    });
    const double plainLocate = ms([&] {
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(plain,
                                 "SELECT o.id, a.\"Vorname\" FROM idx.\"NAME\" AS o CROSS JOIN "
                                 "main.adressen AS a ON a.id = o.id ORDER BY o.key, o.id",
                                 -1, &st, nullptr),
              plain);
        while (sqlite3_step(st) == SQLITE_ROW) {
            if (text(st, 1).startsWith(lastFirst, Qt::CaseInsensitive))
                break;
        }
        sqlite3_finalize(st);
    });
    report("locate, matching the last record", locate, plainLocate);

    // Caller look-up: exact match on a prepared number through its index.
    table.last();
    const QString number = table.fieldValue(fTsuche);
    const double exact = ms([&] {
        table.first();
        if (!table.locate(QStringLiteral("tsuche"), number))
            std::fprintf(stderr, "exact locate failed\n");
    });
    const double plainExact = ms([&] {
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(plain, "SELECT id FROM adressen WHERE tsuche = ?1", -1, &st,
                                 nullptr),
              plain);
        const QByteArray v = number.toUtf8();
        sqlite3_bind_text(st, 1, v.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        sqlite3_finalize(st);
    });
    report("locate, exact prepared number", exact, plainExact);

    // Filtered walk: one group of ten.
    const QString group = QStringLiteral("Gruppe 3");
    int filtered = 0;
    const double filterWalk = ms([&] {
        table.setFiltered(false);
        table.setFilter(QStringLiteral("Gruppe = [") + group + u']');
        table.setFiltered(true);
        filtered = 0;
        QString sink;
        for (table.first(); !table.eof(); table.next()) {
            sink = table.fieldValue(fName);
            ++filtered;
        }
    });
    const double plainFilterWalk = ms([&] { plainWalk(plain, "WHERE a.\"Gruppe\" = ?1", group); });
    report("filtered walk (set filter + walk)", filterWalk, plainFilterWalk);
    std::printf("   (%d records in the group)\n", filtered);
    sqlite3_close(plain);

    std::printf("targets: open without rebuild < 300 ms, post < 3x plain, walk < 300 ms\n");
    return 0;
}
