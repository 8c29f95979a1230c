#pragma once

// Fixtures for the address table tests: folders with a table, records written
// straight through SQLite, and an independent check of both files.

#include "addressbook/AddressStore.h"
#include "addressbook/Collation.h"
#include "addressbook/Fields.h"
#include "testsupport/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <vector>

namespace kalvendo::test {

inline Record person(const QString& name, const QString& vorname = QString(),
                     const QString& gruppe = QString(), const QString& wohnort = QString()) {
    Record r;
    r[fName] = name;
    r[fVorname] = vorname;
    r[fGruppe] = gruppe;
    r[fWohnort] = wohnort;
    return r;
}

// A temporary data folder holding a new empty table.
class TableFolder {
public:
    TableFolder() { AddressStore::createTable(path()); }
    QString path() const { return m_dir.path(); }
    QString table() const { return m_dir.filePath(AddressStore::kTableFile); }
    QString index() const { return m_dir.filePath(AddressStore::kIndexFile); }

    // Adds records through the store, in one transaction.
    void add(const std::vector<Record>& records) const {
        AddressStore store;
        store.open(path());
        store.insertRecords(records);
    }

private:
    QTemporaryDir m_dir;
};

// Runs SQL on one of the files directly; returns the SQLite error text or "".
inline QString execSql(const QString& file, const QByteArray& sql) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db);
        return QStringLiteral("cannot open %1").arg(file);
    }
    char* err = nullptr;
    QString out;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &err) != SQLITE_OK)
        out = QString::fromUtf8(err ? err : "error");
    sqlite3_free(err);
    sqlite3_close(db);
    return out;
}

// Checks both files independently of the store: integrity, the shared stamp,
// and that every index holds exactly (sort key of the field, id) for every
// record. Returns "" when all is well, else what is wrong. Optionally hands
// back the records by id.
inline QString verifyFiles(const QString& folder, std::map<qint64, Record>* out = nullptr) {
    const QString table = QDir(folder).filePath(AddressStore::kTableFile);
    const QString index = QDir(folder).filePath(AddressStore::kIndexFile);
    sqlite3* db = nullptr;
    // Read-write, so that SQLite may roll back a transaction a crash left behind.
    if (sqlite3_open_v2(QFile::encodeName(table).constData(), &db, SQLITE_OPEN_READWRITE,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return QStringLiteral("table cannot be opened");
    }
    struct Closer {
        sqlite3* db;
        ~Closer() { sqlite3_close(db); }
    } closer{db};
    auto query = [&](const QByteArray& sql, auto&& row) -> QString {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
            return QString::fromUtf8(sqlite3_errmsg(db));
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            row(st);
        sqlite3_finalize(st);
        return rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(db));
    };
    auto text = [](sqlite3_stmt* st, int c) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                 sqlite3_column_bytes(st, c));
    };

    sqlite3_stmt* att = nullptr;
    sqlite3_prepare_v2(db, "ATTACH DATABASE ?1 AS idx", -1, &att, nullptr);
    const QByteArray indexFile = QFile::encodeName(index);
    sqlite3_bind_text(att, 1, indexFile.constData(), -1, SQLITE_TRANSIENT);
    const int attRc = sqlite3_step(att);
    sqlite3_finalize(att);
    if (attRc != SQLITE_DONE)
        return QStringLiteral("index cannot be attached: ") + QString::fromUtf8(sqlite3_errmsg(db));

    for (const char* schema : {"main", "idx"}) {
        QString result;
        const QString err = query(QByteArray("PRAGMA ") + schema + ".integrity_check",
                                  [&](sqlite3_stmt* st) { result += text(st, 0); });
        if (!err.isEmpty() || result != u"ok")
            return QStringLiteral("integrity_check of %1: %2 %3")
                .arg(QString::fromLatin1(schema), err, result);
    }

    QString mainGen, idxGen;
    query("SELECT value FROM main.meta WHERE key = 'generation'",
          [&](sqlite3_stmt* st) { mainGen = text(st, 0); });
    query("SELECT value FROM idx.meta WHERE key = 'generation'",
          [&](sqlite3_stmt* st) { idxGen = text(st, 0); });
    if (mainGen.isEmpty() || mainGen != idxGen)
        return QStringLiteral("generation stamps differ: %1 / %2").arg(mainGen, idxGen);

    std::map<qint64, Record> records;
    QByteArray cols;
    for (int i = 0; i < kFieldCount; ++i)
        cols += QByteArray(", \"") + fieldDef(i).name + '"';
    QString err = query("SELECT id" + cols + " FROM main.adressen", [&](sqlite3_stmt* st) {
        Record r;
        for (int i = 0; i < kFieldCount; ++i)
            r[i] = text(st, i + 1);
        records[sqlite3_column_int64(st, 0)] = r;
    });
    if (!err.isEmpty())
        return err;

    Collation collation;
    for (int k = 0; k < kIndexCount; ++k) {
        std::vector<std::pair<QByteArray, qint64>> expected, actual;
        for (const auto& [id, r] : records)
            expected.emplace_back(collation.sortKey(r[indexDef(k).field]), id);
        std::sort(expected.begin(), expected.end());
        err = query(QByteArray("SELECT key, id FROM idx.\"") + indexDef(k).name + '"',
                    [&](sqlite3_stmt* st) {
                        actual.emplace_back(
                            QByteArray(static_cast<const char*>(sqlite3_column_blob(st, 0)),
                                       sqlite3_column_bytes(st, 0)),
                            sqlite3_column_int64(st, 1));
                    });
        std::sort(actual.begin(), actual.end());
        if (!err.isEmpty() || actual != expected)
            return QStringLiteral("index %1 does not hold exactly the table's rows (%2 vs %3) %4")
                .arg(indexName(k))
                .arg(actual.size())
                .arg(expected.size())
                .arg(err);
    }
    if (out)
        *out = std::move(records);
    return QString();
}

// Makes a folder or file unwritable even for root, for as long as it lives.
// Root ignores permission bits, so there the immutable attribute is used.
class ReadOnly {
public:
    explicit ReadOnly(QStringList paths) : m_paths(std::move(paths)) {
        if (::geteuid() != 0) {
            for (const QString& p : m_paths)
                m_ok = QFile::setPermissions(p, QFile::ReadOwner | QFile::ExeOwner) && m_ok;
        } else {
            QStringList args{QStringLiteral("+i")};
            m_ok = QProcess::execute(QStringLiteral("chattr"), args + m_paths) == 0;
        }
    }
    ~ReadOnly() {
        if (::geteuid() != 0) {
            for (const QString& p : m_paths)
                QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        } else {
            QProcess::execute(QStringLiteral("chattr"),
                              QStringList{QStringLiteral("-i")} + m_paths);
        }
    }
    // Whether writing really is refused now (a file system may lack the attribute).
    bool ok() const {
        if (!m_ok)
            return false;
        for (const QString& p : m_paths) {
            if (!QFileInfo(p).isDir()) {
                QFile file(p);
                if (file.open(QIODevice::ReadWrite | QIODevice::Append))
                    return false;
                continue;
            }
            QFile probe(QDir(p).filePath(QStringLiteral("probe")));
            if (probe.open(QIODevice::WriteOnly)) {
                probe.close();
                probe.remove();
                return false;
            }
        }
        return true;
    }
    ReadOnly(const ReadOnly&) = delete;
    ReadOnly& operator=(const ReadOnly&) = delete;

private:
    QStringList m_paths;
    bool m_ok = true;
};

} // namespace kalvendo::test
