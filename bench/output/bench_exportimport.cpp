// Times the file export (CSV, XLSX) of 100,000 records and the import of
// 10,000 lines into a table of 100,000, each beside plain SQLite doing the same
// reads or batched inserts (with the same index upkeep) in the same run, and
// prints the peak resident memory of each step. Then it imports a 200 MB CSV
// file to show that memory stays flat.
//
//   bench_exportimport [records] [lines] [megabytes]

#include "addressbook/AddressStore.h"
#include "addressbook/AddressTable.h"
#include "addressbook/Collation.h"
#include "addressbook/Fields.h"
#include "addressbook/PreparedNumber.h"
#include "output/export/CsvExport.h"
#include "output/export/FileExport.h"
#include "output/import/FileImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace kalvendo;

namespace {

void check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::exit(1);
    }
}

void exec(sqlite3* db, const char* sql) {
    check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db);
}

// The table's files opened by hand, with the settings the store uses.
sqlite3* openPlain(const QString& folder) {
    sqlite3* db = nullptr;
    const QByteArray table = QFile::encodeName(QDir(folder).filePath(AddressStore::kTableFile));
    check(sqlite3_open_v2(table.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                          nullptr),
          db);
    const QByteArray attach = "ATTACH DATABASE '" +
                              QFile::encodeName(QDir(folder).filePath(AddressStore::kIndexFile)) +
                              "' AS idx";
    exec(db, attach.constData());
    exec(db, "PRAGMA main.journal_mode=DELETE; PRAGMA main.synchronous=FULL; "
             "PRAGMA idx.journal_mode=DELETE; PRAGMA idx.synchronous=FULL; "
             "PRAGMA main.cache_size=-64000");
    return db;
}

// Peak resident memory since the last reset, in MB (Linux: VmHWM, reset
// through clear_refs).
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}
double peakMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}
double currentMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

double timed(const std::function<void()>& work) {
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

void report(const char* what, double ours, const char* baseline, double plain, double peak) {
    std::printf("%-30s %9.1f ms   %-26s %9.1f ms   ratio %5.2f   peak RSS %7.1f MB\n", what, ours,
                baseline, plain, plain > 0 ? ours / plain : 0.0, peak);
    std::fflush(stdout);
}

Record sample(int i) {
    Record r;
    r[fName] = QStringLiteral("Müller%1").arg(i % 9973, 5, 10, QLatin1Char('0'));
    r[fVorname] = QStringLiteral("Jürgen %1").arg(i % 313);
    r[fStrasse] = QStringLiteral("Hauptstraße %1, Hof").arg(i % 200);
    r[fNr] = QString::number(i % 120);
    r[fPLZ] = QStringLiteral("%1").arg(i % 99999, 5, 10, QLatin1Char('0'));
    r[fWohnort] = QStringLiteral("Köln");
    r[fLand] = QStringLiteral("Deutschland");
    r[fTelefon] = QStringLiteral("0221 / %1-%2").arg(i % 1000).arg(i);
    r[fMobil] = QStringLiteral("0170 %1").arg(i);
    r[fEmail] = QStringLiteral("person%1@example.org").arg(i);
    r[fHomepage] = QStringLiteral("https://example.org/%1").arg(i);
    r[fGeburtstag] = QStringLiteral("01.02.1980");
    r[fGruppe] = QStringLiteral("Gruppe %1").arg(i % 10);
    r[fDefinierbar] = i % 7 ? QString() : QStringLiteral("Notiz \"%1\"").arg(i);
    r[fTsuche] = prepareNumber(r[fTelefon]);
    r[fHsuche] = prepareNumber(r[fMobil]);
    return r;
}

void fill(const QString& folder, int records) {
    AddressStore::createTable(folder);
    AddressStore store;
    store.open(folder);
    std::vector<Record> batch;
    for (int i = 0; i < records; ++i) {
        batch.push_back(sample(i));
        if (batch.size() == 10000 || i + 1 == records) {
            store.insertRecords(batch);
            batch.clear();
        }
    }
}

// What a hand-written export does: the rows in name order, quoted as needed,
// written and synced.
void plainCsv(const QString& folder, const QString& path) {
    sqlite3* db = openPlain(folder);
    QByteArray cols;
    for (int f = 0; f < kShownFieldCount; ++f)
        cols += QByteArray(f ? ", a.\"" : "a.\"") + fieldDef(f).name + '"';
    sqlite3_stmt* q = nullptr;
    const QByteArray sql = "SELECT " + cols +
                           " FROM idx.\"NAME\" AS o CROSS JOIN main.adressen AS a ON a.id = o.id "
                           "ORDER BY o.key, o.id";
    check(sqlite3_prepare_v2(db, sql.constData(), -1, &q, nullptr), db);
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    std::string line;
    while (sqlite3_step(q) == SQLITE_ROW) {
        line.clear();
        for (int f = 0; f < kShownFieldCount; ++f) {
            if (f)
                line += ',';
            const char* v = reinterpret_cast<const char*>(sqlite3_column_text(q, f));
            const int n = sqlite3_column_bytes(q, f);
            const std::string_view s(v ? v : "", static_cast<size_t>(n));
            if (s.find_first_of(",\"\r\n") == std::string_view::npos) {
                line += s;
                continue;
            }
            line += '"';
            for (const char c : s) {
                if (c == '"')
                    line += '"';
                line += c;
            }
            line += '"';
        }
        line += "\r\n";
        std::fwrite(line.data(), 1, line.size(), out);
    }
    std::fflush(out);
    fdatasync(fileno(out));
    std::fclose(out);
    sqlite3_finalize(q);
    sqlite3_close(db);
}

// The same reads alone: the fifteen values of every row in name order.
void plainRead(const QString& folder) {
    sqlite3* db = openPlain(folder);
    QByteArray cols;
    for (int f = 0; f < kShownFieldCount; ++f)
        cols += QByteArray(f ? ", a.\"" : "a.\"") + fieldDef(f).name + '"';
    sqlite3_stmt* q = nullptr;
    const QByteArray sql = "SELECT " + cols +
                           " FROM idx.\"NAME\" AS o CROSS JOIN main.adressen AS a ON a.id = o.id "
                           "ORDER BY o.key, o.id";
    check(sqlite3_prepare_v2(db, sql.constData(), -1, &q, nullptr), db);
    qint64 bytes = 0;
    while (sqlite3_step(q) == SQLITE_ROW) {
        for (int f = 0; f < kShownFieldCount; ++f) {
            sqlite3_column_text(q, f);
            bytes += sqlite3_column_bytes(q, f);
        }
    }
    sqlite3_finalize(q);
    sqlite3_close(db);
    if (bytes == 0)
        std::fprintf(stderr, "nothing read\n");
}

// A hand-written import: lines split at commas, each record and its eleven
// index rows inserted, a transaction per 1,000 lines, numbers prepared.
void plainImport(const QString& folder, const QString& csv) {
    sqlite3* db = openPlain(folder);
    Collation collation;
    QByteArray cols, params;
    for (int f = 0; f < kFieldCount; ++f) {
        cols += QByteArray(f ? ", \"" : "\"") + fieldDef(f).name + '"';
        params += f ? ",?" : "?";
    }
    sqlite3_stmt* ins = nullptr;
    const QByteArray insert = "INSERT INTO main.adressen(" + cols + ") VALUES (" + params + ")";
    check(sqlite3_prepare_v2(db, insert.constData(), -1, &ins, nullptr), db);
    sqlite3_stmt* idx[kIndexCount];
    for (int k = 0; k < kIndexCount; ++k) {
        const QByteArray sql =
            QByteArray("INSERT INTO idx.\"") + indexDef(k).name + "\"(key, id) VALUES (?1, ?2)";
        check(sqlite3_prepare_v2(db, sql.constData(), -1, &idx[k], nullptr), db);
    }
    QFile in(csv);
    in.open(QIODevice::ReadOnly);
    int inBatch = 0;
    exec(db, "BEGIN IMMEDIATE");
    while (!in.atEnd()) {
        const QStringList values = QString::fromUtf8(in.readLine()).trimmed().split(u',');
        Record r;
        for (int f = 0; f < kFieldCount && f < values.size(); ++f)
            r[static_cast<size_t>(f)] = fitToField(f, values[f]);
        r[fTsuche] = prepareNumber(r[fTelefon]);
        r[fHsuche] = prepareNumber(r[fMobil]);
        std::vector<QByteArray> utf8;
        for (int f = 0; f < kFieldCount; ++f) {
            utf8.push_back(r[static_cast<size_t>(f)].toUtf8());
            sqlite3_bind_text(ins, f + 1, utf8.back().constData(), int(utf8.back().size()),
                              SQLITE_TRANSIENT);
        }
        check(sqlite3_step(ins), db);
        sqlite3_reset(ins);
        const qint64 id = sqlite3_last_insert_rowid(db);
        for (int k = 0; k < kIndexCount; ++k) {
            const QByteArray key = collation.sortKey(r[static_cast<size_t>(indexDef(k).field)]);
            sqlite3_bind_blob(idx[k], 1, key.constData(), int(key.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(idx[k], 2, id);
            check(sqlite3_step(idx[k]), db);
            sqlite3_reset(idx[k]);
        }
        if (++inBatch == 1000) {
            exec(db, "COMMIT; BEGIN IMMEDIATE");
            inBatch = 0;
        }
    }
    exec(db, "COMMIT");
    sqlite3_finalize(ins);
    for (auto* s : idx)
        sqlite3_finalize(s);
    sqlite3_close(db);
}

AddressTable* openTable(const QString& folder) {
    auto* t = new AddressTable;
    t->connectFolder(folder);
    t->open();
    return t;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int lines = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int megabytes = argc > 3 ? std::atoi(argv[3]) : 200;
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("ours"));
    const QString plain = dir.filePath(QStringLiteral("plain"));
    QDir().mkpath(ours);
    QDir().mkpath(plain);
    std::printf("filling two tables of %d records...\n", records);
    std::fflush(stdout);
    fill(ours, records);
    fill(plain, records);

    std::unique_ptr<AddressTable> table(openTable(ours));
    std::printf("table open: RSS %.1f MB\n", currentMb());

    // Export.
    const QString csvOurs = dir.filePath(QStringLiteral("ours.csv"));
    const QString csvPlain = dir.filePath(QStringLiteral("plain.csv"));
    const double readMs = timed([&] { plainRead(plain); });
    resetPeak();
    const double csvMs = timed([&] { exportTable(*table, csvOurs, 2); });
    const double csvPeak = peakMb();
    const double plainCsvMs = timed([&] { plainCsv(plain, csvPlain); });
    report("export CSV", csvMs, "plain read + write", plainCsvMs, csvPeak);
    resetPeak();
    const double xlsxMs =
        timed([&] { exportTable(*table, dir.filePath(QStringLiteral("o.xlsx")), 0); });
    const double xlsxPeak = peakMb();
    report("export XLSX", xlsxMs, "plain read", readMs, xlsxPeak);
    report("export XLSX", xlsxMs, "plain read + CSV write", plainCsvMs, xlsxPeak);
    std::printf("same bytes as the hand-written CSV: %s; XLSX %.1f MB\n",
                QFile(csvOurs).size() == QFile(csvPlain).size() ? "yes" : "NO",
                QFile(dir.filePath(QStringLiteral("o.xlsx"))).size() / 1048576.0);

    // Import of lines the export wrote (its first ones).
    const QString importCsv = dir.filePath(QStringLiteral("import.csv"));
    {
        QFile in(csvPlain);
        in.open(QIODevice::ReadOnly);
        QFile out(importCsv);
        out.open(QIODevice::WriteOnly);
        for (int i = 0; i < lines && !in.atEnd(); ++i) {
            // Without the quoted cells, so that the plain split reads the same values.
            out.write(in.readLine().replace('"', "").replace(", Hof", " Hof"));
        }
    }
    resetPeak();
    const double importMs = timed([&] { importFile(*table, importCsv); });
    const double importPeak = peakMb();
    const double plainImportMs = timed([&] { plainImport(plain, importCsv); });
    report("import lines", importMs, "plain batched insert", plainImportMs, importPeak);
    std::printf("records afterwards: %lld\n", static_cast<long long>(table->recordCount()));

    // A 200 MB file: 100 KB notes per contact in a column no field takes.
    if (megabytes > 0) {
        const QString big = dir.filePath(QStringLiteral("big.csv"));
        {
            QFile out(big);
            out.open(QIODevice::WriteOnly);
            out.write("Last Name,First Name,Notes,Mobile Phone\r\n");
            const QByteArray notes =
                "\"" + QByteArray("Zeile mit \"\"Notiz\"\", Komma\r\n").repeated(3500) + "\"";
            for (int i = 0; out.size() < qint64(megabytes) * 1048576; ++i)
                out.write("Gross" + QByteArray::number(i) + ",Anna," + notes + ",0170 " +
                          QByteArray::number(i) + "\r\n");
        }
        const double before = currentMb();
        resetPeak();
        ImportResult result;
        const double bigMs = timed([&] { result = importFile(*table, big); });
        std::printf(
            "import %d MB CSV (%lld records)   %9.1f ms   RSS before %.1f MB, peak %.1f MB\n",
            megabytes, static_cast<long long>(result.imported), bigMs, before, peakMb());
    }
    return 0;
}
