#include "addressbook/AddressStore.h"

#include "addressbook/DatabaseError.h"
#include "addressbook/FilterExpression.h"
#include "addressbook/OrderList.h"
#include "addressbook/RecordCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <sqlite3.h>

#include <algorithm>

namespace kalvendo {

using sqlite::Failure;
using sqlite::Statement;

const QString AddressStore::kTableFile = QStringLiteral("adressen.adt");
const QString AddressStore::kIndexFile = QStringLiteral("adressen.adi");

namespace {

// Bump when the layout of either file changes; older files are then rejected
// (table) or rebuilt (index).
constexpr int kFormat = 1;
constexpr int kBlock = kRecordBlock;

QByteArray quoted(const char* name) {
    return '"' + QByteArray(name) + '"';
}

QByteArray columnList(const char* prefix = "") {
    QByteArray s;
    for (int i = 0; i < kFieldCount; ++i) {
        if (i)
            s += ", ";
        s += prefix + quoted(fieldDef(i).name);
    }
    return s;
}

QByteArray indexTableSql(int k) {
    return "CREATE TABLE idx." + quoted(indexDef(k).name) +
           "(key BLOB NOT NULL, id INTEGER NOT NULL, PRIMARY KEY(key, id)) WITHOUT ROWID";
}

QString indexTableSqlAsStored(int k) {
    // sqlite_schema keeps the statement without the schema prefix.
    return QString::fromUtf8(indexTableSql(k))
        .replace(QStringLiteral("TABLE idx."), QStringLiteral("TABLE "));
}

// What is stored is always within the widths, whoever writes.
Record fitted(const Record& given) {
    Record r;
    for (int i = 0; i < kFieldCount; ++i)
        r[i] = fitToField(i, given[i]);
    return r;
}

QString detailOf(const Failure& f) {
    return QStringLiteral("%1 (SQLite %2)").arg(f.message).arg(f.code);
}

// BEGIN ... COMMIT, rolled back when left without commit.
class Transaction {
public:
    Transaction(sqlite3* db, const char* begin) : m_db(db) { sqlite::exec(db, begin); }
    ~Transaction() {
        if (!m_committed && !sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        sqlite::exec(m_db, "COMMIT");
        m_committed = true;
    }

private:
    sqlite3* m_db;
    bool m_committed = false;
};

sqlite3* openConnection(const QString& path, int flags) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        Failure f{rc, db ? QString::fromUtf8(sqlite3_errmsg(db))
                         : QString::fromUtf8(sqlite3_errstr(rc))};
        sqlite3_close(db);
        throw f;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 5000);
    return db;
}

} // namespace

struct AddressStore::Statements {
    Statement insert, update, remove, byId, block, bumpMain, bumpIndex;
    Statement idxInsert[kIndexCount];
    Statement idxDelete[kIndexCount];
};

AddressStore::AddressStore() : m_collation(std::make_unique<Collation>()) {}

AddressStore::~AddressStore() {
    close();
}

QString AddressStore::tablePath() const {
    return QDir(m_folder).filePath(kTableFile);
}
QString AddressStore::indexPath() const {
    return QDir(m_folder).filePath(kIndexFile);
}

void AddressStore::raise(const QString& de, const QString& en, const QString& file,
                         const Failure& f) const {
    throw EDatabaseError(de.arg(file) + QStringLiteral(" / ") + en.arg(file) +
                         QStringLiteral(": ") + detailOf(f));
}

void AddressStore::createTable(const QString& folder) {
    const QFileInfo dir(folder);
    if (!dir.isDir())
        throw EDatabaseError(
            QStringLiteral("Der Ordner %1 existiert nicht / the folder %1 does not exist")
                .arg(folder));
    const QString path = QDir(folder).filePath(kTableFile);
    if (QFileInfo::exists(path))
        throw EDatabaseError(
            QStringLiteral("Die Tabelle %1 existiert bereits / the table %1 already exists")
                .arg(path));
    sqlite3* db = nullptr;
    try {
        db = openConnection(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        sqlite::exec(db, "PRAGMA journal_mode=DELETE");
        sqlite::exec(db, "PRAGMA synchronous=FULL");
        {
            Transaction tx(db, "BEGIN IMMEDIATE");
            QByteArray cols;
            for (int i = 0; i < kFieldCount; ++i)
                cols += ", " + quoted(fieldDef(i).name) + " TEXT NOT NULL";
            sqlite::exec(db, "CREATE TABLE meta(key TEXT PRIMARY KEY NOT NULL, value NOT NULL)");
            sqlite::exec(db,
                         "CREATE TABLE adressen(id INTEGER PRIMARY KEY AUTOINCREMENT" + cols + ")");
            Statement meta(db, "INSERT INTO meta(key, value) VALUES ('format', ?1), ('uuid', ?2), "
                               "('generation', 0)");
            meta.bind(1, qint64(kFormat));
            meta.bind(2, QUuid::createUuid().toString(QUuid::WithoutBraces));
            meta.step();
            tx.commit();
        }
        sqlite3_close(db);
        db = nullptr;
    } catch (const Failure& f) {
        sqlite3_close(db);
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-journal"));
        throw EDatabaseError(QStringLiteral("Die Tabelle %1 kann nicht angelegt werden / the "
                                            "table %1 cannot be created: %2")
                                 .arg(path, detailOf(f)));
    }
    // Opening lays out the index file, as for any table without one.
    AddressStore store;
    store.open(folder);
}

void AddressStore::open(const QString& folder) {
    close();
    if (!QFileInfo(folder).isDir())
        throw EDatabaseError(QStringLiteral("Der Datenordner %1 existiert nicht / the data folder "
                                            "%1 does not exist")
                                 .arg(folder));
    m_folder = folder;
    m_rebuilt = false;
    const QFileInfo table(tablePath());
    if (!table.exists())
        throw EDatabaseError(
            QStringLiteral("Die Tabelle %1 existiert nicht / the table %1 does not exist")
                .arg(tablePath()));
    if (!table.isFile())
        throw EDatabaseError(
            QStringLiteral("%1 ist keine Datei / %1 is not a file").arg(tablePath()));
    m_stmts = std::make_unique<Statements>();
    try {
        openTableFile();
        if (!indexFileUsable())
            rebuildIndexFile();
    } catch (...) {
        close();
        throw;
    }
    // The table is usable without the number index (a read-only index file
    // that needs it rebuilt): its error is kept for the caller to report.
    try {
        ensureNumberIndex();
    } catch (const EDatabaseError& e) {
        m_numberError = e.message();
    }
}

void AddressStore::openTableFile() {
    try {
        // Never SQLITE_OPEN_CREATE: a missing table is an error, not a new table.
        // NOMUTEX: the connection is used by one thread only, and the mutex
        // would be taken for every column read.
        m_db = openConnection(tablePath(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    } catch (const Failure& f) {
        raise(QStringLiteral("Die Tabelle %1 kann nicht geöffnet werden"),
              QStringLiteral("the table %1 cannot be opened"), tablePath(), f);
    }
    try {
        Transaction tx(m_db, "BEGIN");
        Statement cols(m_db, "PRAGMA main.table_info(adressen)");
        QStringList names;
        while (cols.step())
            names << cols.text(1);
        QStringList expected{QStringLiteral("id")};
        for (int i = 0; i < kFieldCount; ++i)
            expected << fieldName(i);
        if (names != expected)
            throw Failure{SQLITE_CORRUPT,
                          QStringLiteral("no table adressen with the address fields")};

        qint64 format = -1;
        m_uuid.clear();
        Statement meta(m_db, "SELECT key, value FROM main.meta");
        while (meta.step()) {
            const QString key = meta.text(0);
            if (key == u"format")
                format = meta.int64(1);
            else if (key == u"uuid")
                m_uuid = meta.text(1);
        }
        if (format != kFormat || m_uuid.isEmpty())
            throw Failure{SQLITE_CORRUPT, QStringLiteral("unknown table format")};

        // Walks every page of the table, so a truncated or damaged file is noticed here.
        Statement count(m_db, "SELECT count(*) FROM main.adressen");
        count.step();
        m_count = count.int64(0);
        tx.commit();
    } catch (const Failure& f) {
        raise(QStringLiteral("Die Tabelle %1 ist beschädigt oder keine Adresstabelle"),
              QStringLiteral("the table %1 is damaged or not an address table"), tablePath(), f);
    }
    // Only now that the file is known to be ours: a journal-mode switch could write.
    try {
        sqlite::exec(m_db, "PRAGMA main.journal_mode=DELETE");
        sqlite::exec(m_db, "PRAGMA main.synchronous=FULL");
        sqlite::exec(m_db, "PRAGMA main.cache_size=-64000");
    } catch (const Failure& f) {
        raise(QStringLiteral("Die Tabelle %1 kann nicht geöffnet werden"),
              QStringLiteral("the table %1 cannot be opened"), tablePath(), f);
    }
}

void AddressStore::attachIndex() {
    Statement attach(m_db, "ATTACH DATABASE ?1 AS idx");
    attach.bind(1, indexPath());
    attach.step();
    m_attached = true;
    sqlite::exec(m_db, "PRAGMA idx.journal_mode=DELETE");
    sqlite::exec(m_db, "PRAGMA idx.synchronous=FULL");
}

void AddressStore::detachIndex() {
    if (!m_attached)
        return;
    for (auto& s : m_stmts->idxInsert)
        s = Statement();
    for (auto& s : m_stmts->idxDelete)
        s = Statement();
    m_stmts->bumpIndex = Statement();
    m_numbers.release();
    sqlite3_exec(m_db, "DETACH DATABASE idx", nullptr, nullptr, nullptr);
    m_attached = false;
}

bool AddressStore::indexFileUsable() {
    if (!QFileInfo(indexPath()).isFile())
        return false;
    try {
        attachIndex();
        Transaction tx(m_db, "BEGIN");
        qint64 format = -1;
        qint64 generation = -1;
        QString table, collation;
        Statement meta(m_db, "SELECT key, value FROM idx.meta");
        while (meta.step()) {
            const QString key = meta.text(0);
            if (key == u"format")
                format = meta.int64(1);
            else if (key == u"table")
                table = meta.text(1);
            else if (key == u"generation")
                generation = meta.int64(1);
            else if (key == u"collation")
                collation = meta.text(1);
        }
        Statement mainGen(m_db, "SELECT value FROM main.meta WHERE key = 'generation'");
        const qint64 tableGeneration = mainGen.step() ? mainGen.int64(0) : -2;
        if (format != kFormat || table != m_uuid || generation != tableGeneration ||
            collation != m_collation->identity())
            return false;

        Statement schema(m_db, "SELECT sql FROM idx.sqlite_schema WHERE type = 'table' AND "
                               "name = ?1");
        for (int k = 0; k < kIndexCount; ++k) {
            schema.reset();
            schema.bind(1, indexName(k));
            if (!schema.step() || schema.text(0) != indexTableSqlAsStored(k))
                return false;
            Statement count(m_db, "SELECT count(*) FROM idx." + quoted(indexDef(k).name));
            count.step();
            if (count.int64(0) != m_count)
                return false;
        }
        tx.commit();
        return true;
    } catch (const Failure&) {
        // Unreadable, not a database, or of another layout: rebuilt below.
        detachIndex();
        return false;
    }
}

void AddressStore::rebuildIndexFile() {
    detachIndex();
    const QString path = indexPath();
    const QString journal = path + QStringLiteral("-journal");
    for (const QString& p : {path, journal}) {
        if (QFileInfo::exists(p) && !QFile::remove(p))
            raise(QStringLiteral("Der Index %1 kann nicht neu aufgebaut werden"),
                  QStringLiteral("the index %1 cannot be rebuilt"), path,
                  Failure{SQLITE_CANTOPEN, QStringLiteral("the old file cannot be removed")});
    }
    // The connection may not create files (so that a missing table is never
    // made); an empty file is an empty database to attach.
    QFile fresh(path);
    if (!fresh.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        raise(QStringLiteral("Der Index %1 kann nicht neu aufgebaut werden"),
              QStringLiteral("the index %1 cannot be rebuilt"), path,
              Failure{SQLITE_CANTOPEN, fresh.errorString()});
    fresh.close();
    try {
        attachIndex();
        // Deferred, so that only the index file is written (the table may be read-only).
        Transaction tx(m_db, "BEGIN");
        sqlite::exec(m_db, "CREATE TABLE idx.meta(key TEXT PRIMARY KEY NOT NULL, value NOT NULL)");
        struct Entry {
            QByteArray key;
            qint64 id;
        };
        std::vector<Entry> entries[kIndexCount];
        for (auto& e : entries)
            e.reserve(static_cast<size_t>(m_count));
        QByteArray cols;
        for (int k = 0; k < kIndexCount; ++k)
            cols += ", " + quoted(fieldDef(indexDef(k).field).name);
        Statement rows(m_db, "SELECT id" + cols + " FROM main.adressen");
        while (rows.step()) {
            const qint64 id = rows.int64(0);
            for (int k = 0; k < kIndexCount; ++k)
                entries[k].push_back({m_collation->sortKey(rows.text(k + 1)), id});
        }
        for (int k = 0; k < kIndexCount; ++k) {
            auto& list = entries[k];
            std::sort(list.begin(), list.end(), [](const Entry& a, const Entry& b) {
                const int c = OrderList::compareKeys(a.key, b.key);
                return c != 0 ? c < 0 : a.id < b.id;
            });
            sqlite::exec(m_db, indexTableSql(k).constData());
            Statement ins(m_db, "INSERT INTO idx." + quoted(indexDef(k).name) +
                                    "(key, id) VALUES (?1, ?2)");
            for (const Entry& e : list) {
                ins.bindBlob(1, e.key);
                ins.bind(2, e.id);
                ins.step();
                ins.reset();
            }
            list = {};
        }
        Statement meta(m_db, "INSERT INTO idx.meta(key, value) VALUES ('format', ?1), "
                             "('table', ?2), ('collation', ?3), ('generation', "
                             "(SELECT value FROM main.meta WHERE key = 'generation'))");
        meta.bind(1, qint64(kFormat));
        meta.bind(2, m_uuid);
        meta.bind(3, m_collation->identity());
        meta.step();
        tx.commit();
        m_rebuilt = true;
    } catch (const Failure& f) {
        detachIndex();
        raise(QStringLiteral("Der Index %1 kann nicht neu aufgebaut werden"),
              QStringLiteral("the index %1 cannot be rebuilt"), path, f);
    }
}

void AddressStore::close() {
    m_numbers.release();
    m_stmts.reset();
    if (m_db) {
        // _v2: should a statement still be alive, the handle is freed with it.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_attached = false;
    m_count = 0;
}

Statement& AddressStore::stmt(Statement& slot, const QByteArray& sql) {
    if (!slot.isValid())
        slot = Statement(m_db, sql, true);
    else
        slot.reset();
    return slot;
}

qint64 AddressStore::countRecords() {
    try {
        Statement count(m_db, "SELECT count(*) FROM main.adressen");
        count.step();
        m_count = count.int64(0);
        return m_count;
    } catch (const Failure& f) {
        raise(QStringLiteral("Die Tabelle %1 kann nicht gelesen werden"),
              QStringLiteral("the table %1 cannot be read"), tablePath(), f);
    }
}

void AddressStore::loadOrder(int indexNo, const FilterExpression& filter, OrderList& out) {
    out.clear();
    const QByteArray table = "idx." + quoted(indexDef(indexNo).name);
    try {
        Statement q;
        if (filter.isEmpty()) {
            q = Statement(m_db, "SELECT key, id FROM " + table + " ORDER BY key, id");
        } else {
            // CROSS JOIN keeps the index as the outer loop, so no sorting is needed.
            q = Statement(m_db, "SELECT o.key, o.id FROM " + table +
                                    " AS o CROSS JOIN main.adressen AS a ON a.id = o.id WHERE a." +
                                    quoted(fieldDef(filter.field()).name) +
                                    " = ?1 ORDER BY o.key, o.id");
            q.bind(1, filter.value());
        }
        out.reserve(static_cast<int>(m_count), m_count * 24);
        while (q.step())
            out.append(q.blob(0), q.int64(1));
    } catch (const Failure& f) {
        out.clear();
        raise(QStringLiteral("Der Index %1 kann nicht gelesen werden"),
              QStringLiteral("the index %1 cannot be read"), indexPath(), f);
    }
}

void AddressStore::readRecords(std::span<const qint64> ids,
                               const std::function<void(qint64, const RecordData&)>& sink) {
    try {
        QByteArray sql = "SELECT id, " + columnList() + " FROM main.adressen WHERE id IN (?1";
        for (int i = 2; i <= kBlock; ++i)
            sql += ",?" + QByteArray::number(i);
        sql += ')';
        for (size_t start = 0; start < ids.size(); start += kBlock) {
            Statement& q = stmt(m_stmts->block, sql);
            const size_t n = std::min<size_t>(kBlock, ids.size() - start);
            for (size_t i = 0; i < n; ++i)
                q.bind(static_cast<int>(i + 1), ids[start + i]);
            while (q.step()) {
                QByteArrayView values[kFieldCount];
                qsizetype bytes = 0;
                for (int c = 0; c < kFieldCount; ++c)
                    bytes += (values[c] = q.utf8(c + 1)).size();
                RecordData r;
                r.reserve(bytes);
                for (const QByteArrayView v : values)
                    r.appendField(v);
                sink(q.int64(0), r);
            }
        }
    } catch (const Failure& f) {
        raise(QStringLiteral("Die Tabelle %1 kann nicht gelesen werden"),
              QStringLiteral("the table %1 cannot be read"), tablePath(), f);
    }
}

Record AddressStore::readRow(qint64 id) {
    Statement& q =
        stmt(m_stmts->byId, "SELECT " + columnList() + " FROM main.adressen WHERE id = ?1");
    q.bind(1, id);
    if (!q.step())
        throw Failure{SQLITE_NOTFOUND, QStringLiteral("record %1 no longer exists").arg(id)};
    Record r;
    for (int c = 0; c < kFieldCount; ++c)
        r[c] = q.text(c);
    q.reset();
    return r;
}

std::optional<Record> AddressStore::readRecord(qint64 id) {
    std::optional<Record> out;
    readRecords(std::span<const qint64>(&id, 1),
                [&](qint64, const RecordData& r) { out = r.toRecord(); });
    return out;
}

void AddressStore::bumpGeneration() {
    stmt(m_stmts->bumpMain, "UPDATE main.meta SET value = value + 1 WHERE key = 'generation'")
        .step();
    stmt(m_stmts->bumpIndex, "UPDATE idx.meta SET value = (SELECT value FROM main.meta WHERE key "
                             "= 'generation') WHERE key = 'generation'")
        .step();
    m_numbers.stamp();
}

qint64 AddressStore::insertRecord(const Record& r) {
    return insertRecords(std::span<const Record>(&r, 1));
}

qint64 AddressStore::insertRecords(std::span<const Record> records) {
    try {
        Transaction tx(m_db, "BEGIN IMMEDIATE");
        QByteArray params;
        for (int i = 1; i <= kFieldCount; ++i)
            params += (i > 1 ? ",?" : "?") + QByteArray::number(i);
        qint64 id = -1;
        for (const Record& given : records) {
            const Record r = fitted(given);
            Statement& ins = stmt(m_stmts->insert, "INSERT INTO main.adressen(" + columnList() +
                                                       ") VALUES (" + params + ")");
            for (int i = 0; i < kFieldCount; ++i)
                ins.bind(i + 1, r[i]);
            ins.step();
            id = sqlite3_last_insert_rowid(m_db);
            for (int k = 0; k < kIndexCount; ++k) {
                Statement& ix =
                    stmt(m_stmts->idxInsert[k], "INSERT INTO idx." + quoted(indexDef(k).name) +
                                                    "(key, id) VALUES (?1, ?2)");
                ix.bindBlob(1, m_collation->sortKey(r[indexDef(k).field]));
                ix.bind(2, id);
                ix.step();
            }
            m_numbers.add(id, r);
        }
        bumpGeneration();
        tx.commit();
        m_count += static_cast<qint64>(records.size());
        return id;
    } catch (const Failure& f) {
        raise(QStringLiteral("Der Datensatz kann nicht in %1 gespeichert werden"),
              QStringLiteral("the record cannot be saved in %1"), tablePath(), f);
    }
}

void AddressStore::writeChangedRow(qint64 id, const Record& old, const Record& given) {
    const Record r = fitted(given);
    QByteArray sets;
    for (int i = 0; i < kFieldCount; ++i)
        sets += (i ? ", " : "") + quoted(fieldDef(i).name) + " = ?" + QByteArray::number(i + 1);
    Statement& up = stmt(m_stmts->update, "UPDATE main.adressen SET " + sets + " WHERE id = ?" +
                                              QByteArray::number(kFieldCount + 1));
    for (int i = 0; i < kFieldCount; ++i)
        up.bind(i + 1, r[i]);
    up.bind(kFieldCount + 1, id);
    up.step();
    m_numbers.change(id, old, r);
    for (int k = 0; k < kIndexCount; ++k) {
        const int field = indexDef(k).field;
        if (old[field] == r[field])
            continue;
        const QByteArray name = quoted(indexDef(k).name);
        Statement& del =
            stmt(m_stmts->idxDelete[k], "DELETE FROM idx." + name + " WHERE key = ?1 AND id = ?2");
        del.bindBlob(1, m_collation->sortKey(old[field]));
        del.bind(2, id);
        del.step();
        Statement& ins =
            stmt(m_stmts->idxInsert[k], "INSERT INTO idx." + name + "(key, id) VALUES (?1, ?2)");
        ins.bindBlob(1, m_collation->sortKey(r[field]));
        ins.bind(2, id);
        ins.step();
    }
}

void AddressStore::updateRecord(qint64 id, const Record& given) {
    try {
        Transaction tx(m_db, "BEGIN IMMEDIATE");
        // The stored values, not the caller's copy, say which index rows to replace.
        writeChangedRow(id, readRow(id), given);
        bumpGeneration();
        tx.commit();
    } catch (const Failure& f) {
        raise(QStringLiteral("Der Datensatz kann nicht in %1 gespeichert werden"),
              QStringLiteral("the record cannot be saved in %1"), tablePath(), f);
    }
}

void AddressStore::updateEach(std::span<const qint64> ids,
                              const std::function<void(Record&)>& change,
                              const std::function<void(qsizetype done)>& progress) {
    try {
        Transaction tx(m_db, "BEGIN IMMEDIATE");
        qsizetype done = 0;
        try {
            for (const qint64 id : ids) {
                const Record old = readRow(id);
                Record r = old;
                change(r);
                if (r != old)
                    writeChangedRow(id, old, r);
                ++done;
                if (progress && done % 512 == 0)
                    progress(done);
            }
        } catch (...) {
            // What was done before the failure stays done.
            if (done > 0) {
                bumpGeneration();
                tx.commit();
            }
            throw;
        }
        bumpGeneration();
        tx.commit();
        if (progress)
            progress(done);
    } catch (const Failure& f) {
        raise(QStringLiteral("Die Datensätze können nicht in %1 gespeichert werden"),
              QStringLiteral("the records cannot be saved in %1"), tablePath(), f);
    }
}

void AddressStore::deleteRecord(qint64 id) {
    try {
        Transaction tx(m_db, "BEGIN IMMEDIATE");
        const Record old = readRow(id);
        Statement& del = stmt(m_stmts->remove, "DELETE FROM main.adressen WHERE id = ?1");
        del.bind(1, id);
        del.step();
        for (int k = 0; k < kIndexCount; ++k) {
            Statement& ix =
                stmt(m_stmts->idxDelete[k],
                     "DELETE FROM idx." + quoted(indexDef(k).name) + " WHERE key = ?1 AND id = ?2");
            ix.bindBlob(1, m_collation->sortKey(old[indexDef(k).field]));
            ix.bind(2, id);
            ix.step();
        }
        m_numbers.remove(id, old);
        bumpGeneration();
        tx.commit();
        --m_count;
    } catch (const Failure& f) {
        raise(QStringLiteral("Der Datensatz kann nicht aus %1 gelöscht werden"),
              QStringLiteral("the record cannot be deleted from %1"), tablePath(), f);
    }
}

std::vector<std::pair<qint64, Record>> AddressStore::recordsWithKey(int indexNo,
                                                                    QByteArrayView key) {
    std::vector<std::pair<qint64, Record>> out;
    try {
        Statement q(m_db, "SELECT a.id, " + columnList("a.") + " FROM idx." +
                              quoted(indexDef(indexNo).name) +
                              " AS o CROSS JOIN main.adressen AS a ON a.id = o.id WHERE o.key = "
                              "?1 ORDER BY o.id");
        q.bindBlob(1, key);
        while (q.step()) {
            Record r;
            for (int c = 0; c < kFieldCount; ++c)
                r[c] = q.text(c + 1);
            out.emplace_back(q.int64(0), std::move(r));
        }
    } catch (const Failure& f) {
        raise(QStringLiteral("Der Index %1 kann nicht gelesen werden"),
              QStringLiteral("the index %1 cannot be read"), indexPath(), f);
    }
    return out;
}

std::optional<std::pair<QByteArray, qint64>>
AddressStore::findFirstInOrder(int indexNo, const FilterExpression& filter, int field,
                               const std::function<bool(const QString&)>& match) {
    try {
        QByteArray sql = "SELECT o.key, o.id, a." + quoted(fieldDef(field).name) + " FROM idx." +
                         quoted(indexDef(indexNo).name) +
                         " AS o CROSS JOIN main.adressen AS a ON a.id = o.id";
        if (!filter.isEmpty())
            sql += " WHERE a." + quoted(fieldDef(filter.field()).name) + " = ?1";
        sql += " ORDER BY o.key, o.id";
        Statement q(m_db, sql);
        if (!filter.isEmpty())
            q.bind(1, filter.value());
        while (q.step()) {
            if (match(q.text(2)))
                return std::make_pair(q.blob(0).toByteArray(), q.int64(1));
        }
    } catch (const Failure& f) {
        raise(QStringLiteral("Die Tabelle %1 kann nicht durchsucht werden"),
              QStringLiteral("the table %1 cannot be searched"), tablePath(), f);
    }
    return std::nullopt;
}

void AddressStore::ensureNumberIndex() {
    m_numberError.clear();
    try {
        m_numbers.ensure(m_attached ? m_db : nullptr);
    } catch (const Failure& f) {
        raise(QStringLiteral("Der Nummernindex in %1 kann nicht aufgebaut werden"),
              QStringLiteral("the number index in %1 cannot be built"), indexPath(), f);
    }
}

void AddressStore::setNumberKeys(std::shared_ptr<const NumberKeys> keys) {
    m_numbers.setKeys(std::move(keys));
    if (isOpen())
        ensureNumberIndex();
}

std::vector<NumberIndex::Match> AddressStore::numberMatches(const QString& number) {
    try {
        return m_numbers.find(number);
    } catch (const Failure& f) {
        raise(QStringLiteral("Der Index %1 kann nicht gelesen werden"),
              QStringLiteral("the index %1 cannot be read"), indexPath(), f);
    }
}

void AddressStore::checkFiles(const QString& tablePath, const QString& indexPath) {
    const auto check = [](const QString& path, const QString& de, const QString& en,
                          const std::function<void(sqlite3*)>& layout) {
        if (!QFileInfo(path).isFile())
            throw EDatabaseError(
                QStringLiteral("%1 existiert nicht / %1 does not exist").arg(path));
        sqlite3* db = nullptr;
        try {
            db = openConnection(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
            Transaction tx(db, "BEGIN");
            // Reads every page, so a cut or damaged file is noticed here.
            Statement quick(db, "PRAGMA main.quick_check");
            if (!quick.step() || quick.text(0) != u"ok")
                throw Failure{SQLITE_CORRUPT, quick.text(0)};
            layout(db);
            tx.commit();
            sqlite3_close_v2(db);
        } catch (const Failure& f) {
            sqlite3_close_v2(db);
            throw EDatabaseError(de.arg(path) + QStringLiteral(" / ") + en.arg(path) +
                                 QStringLiteral(": ") + detailOf(f));
        }
    };
    const auto metaFormat = [](sqlite3* db) {
        Statement meta(db, "SELECT value FROM main.meta WHERE key = 'format'");
        return meta.step() ? meta.int64(0) : -1;
    };

    check(tablePath, QStringLiteral("%1 ist keine lesbare Adresstabelle"),
          QStringLiteral("%1 is not a readable address table"), [&](sqlite3* db) {
              Statement cols(db, "PRAGMA main.table_info(adressen)");
              QStringList names;
              while (cols.step())
                  names << cols.text(1);
              QStringList expected{QStringLiteral("id")};
              for (int i = 0; i < kFieldCount; ++i)
                  expected << fieldName(i);
              if (names != expected)
                  throw Failure{SQLITE_CORRUPT,
                                QStringLiteral("no table adressen with the address fields")};
              if (metaFormat(db) != kFormat)
                  throw Failure{SQLITE_CORRUPT, QStringLiteral("unknown table format")};
          });
    check(indexPath, QStringLiteral("%1 ist kein lesbarer Index einer Adresstabelle"),
          QStringLiteral("%1 is not a readable address index"), [&](sqlite3* db) {
              if (metaFormat(db) != kFormat)
                  throw Failure{SQLITE_CORRUPT, QStringLiteral("unknown index format")};
              Statement schema(db, "SELECT sql FROM main.sqlite_schema WHERE type = 'table' "
                                   "AND name = ?1");
              for (int k = 0; k < kIndexCount; ++k) {
                  schema.reset();
                  schema.bind(1, indexName(k));
                  if (!schema.step() || schema.text(0) != indexTableSqlAsStored(k))
                      throw Failure{SQLITE_CORRUPT, QStringLiteral("unknown index format")};
              }
          });
}

} // namespace kalvendo
