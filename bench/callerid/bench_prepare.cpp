// Times preparing the telephone and mobile numbers of every record, beside a
// plain SQLite UPDATE of the same two columns (without index upkeep) in the
// same run.
//
//   bench_prepare [records]

#include "addressbook/AddressStore.h"
#include "addressbook/AddressTable.h"
#include "addressbook/Fields.h"
#include "addressbook/PreparedNumber.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <vector>

using namespace kalvendo;

namespace {

void fill(const QString& folder, int records) {
    AddressStore::createTable(folder);
    AddressStore store;
    store.open(folder);
    std::vector<Record> batch;
    batch.reserve(static_cast<size_t>(records));
    for (int i = 0; i < records; ++i) {
        Record r;
        r[fName] = QStringLiteral("Name%1").arg(i % 9973, 5, 10, QLatin1Char('0'));
        r[fTelefon] = QStringLiteral("0%1 / %2-%3").arg(30 + i % 70).arg(i % 1000).arg(i);
        r[fMobil] = QStringLiteral("01%1 %2").arg(70 + i % 9).arg(i);
        batch.push_back(std::move(r));
    }
    store.insertRecords(batch);
}

// REPLACE() over the two columns is what a hand-written UPDATE would do.
double plainUpdate(const QString& folder) {
    sqlite3* db = nullptr;
    const QByteArray path = QFile::encodeName(QDir(folder).filePath(AddressStore::kTableFile));
    sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL", nullptr, nullptr,
                 nullptr);
    QElapsedTimer t;
    t.start();
    const char* sql =
        "UPDATE adressen SET tsuche = replace(replace(replace(Telefon,'/',''),'-',''),' ',''),"
        " hsuche = replace(replace(replace(Mobil,'/',''),'-',''),' ','')";
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    const double ms = t.nsecsElapsed() / 1e6;
    sqlite3_close(db);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;

    QTemporaryDir ours;
    QTemporaryDir plain;
    fill(ours.path(), records);
    fill(plain.path(), records);

    AddressTable table;
    table.connectFolder(ours.path());
    table.open();
    QElapsedTimer t;
    t.start();
    prepareAllNumbers(table);
    const double oursMs = t.nsecsElapsed() / 1e6;

    const double plainMs = plainUpdate(plain.path());
    std::printf("prepare %d records   %9.1f ms   plain SQLite UPDATE %9.1f ms   ratio %5.2f\n",
                records, oursMs, plainMs, plainMs > 0 ? oursMs / plainMs : 0.0);

    table.first();
    std::printf("first record: %s -> %s\n", qPrintable(table.fieldValue(fTelefon)),
                qPrintable(table.fieldValue(fTsuche)));
    return 0;
}
