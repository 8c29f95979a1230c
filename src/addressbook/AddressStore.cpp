#include "addressbook/AddressStore.h"

#include "addressbook/DatabaseError.h"
#include "addressbook/FilterExpression.h"
#include "addressbook/OrderList.h"
#include "addressbook/RecordCache.h"
#include "common/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <thread>
#include <vector>

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
constexpr int kBusyTimeoutMs = 5000;

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

const char kIndexMetaSql[] = "CREATE TABLE idx.meta(key TEXT PRIMARY KEY NOT NULL, value NOT NULL)";

// The objects of the table file. The statements' text is kept in the file and
// compared at every open, so it must never change for a format.
void createTableObjects(sqlite3* db) {
    QByteArray cols;
    for (int i = 0; i < kFieldCount; ++i)
        cols += ", " + quoted(fieldDef(i).name) + " TEXT NOT NULL";
    sqlite::exec(db, "CREATE TABLE meta(key TEXT PRIMARY KEY NOT NULL, value NOT NULL)");
    sqlite::exec(db, "CREATE TABLE adressen(id INTEGER PRIMARY KEY AUTOINCREMENT" + cols + ")");
}

// One row of sqlite_schema: type, name, table, statement (the root page differs between files).
using SchemaEntry = std::array<QString, 4>;
using Schema = std::vector<SchemaEntry>;

Schema schemaOf(sqlite3* db, const char* schema) {
    Schema out;
    Statement q(db, QByteArray("SELECT type, name, tbl_name, sql FROM ") + schema +
                        ".sqlite_schema ORDER BY type, name");
    while (q.step())
        out.push_back({q.text(0), q.text(1), q.text(2), q.text(3)});
    return out;
}

// What the two files hold when this program laid them out, read back from a
// database in memory built by the same statements: the table file, the index
// file, and the index file with the number index that is built when needed.
struct ExpectedSchemas {
    Schema table, index, indexWithNumbers;
};

const ExpectedSchemas& expectedSchemas() {
    static const ExpectedSchemas expected = [] {
        sqlite3* db = nullptr;
        sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, nullptr);
        createTableObjects(db);
        sqlite::exec(db, "ATTACH DATABASE ':memory:' AS idx");
        sqlite::exec(db, kIndexMetaSql);
        for (int k = 0; k < kIndexCount; ++k)
            sqlite::exec(db, indexTableSql(k));
        ExpectedSchemas out;
        out.table = schemaOf(db, "main");
        out.index = schemaOf(db, "idx");
        sqlite::exec(db, NumberIndex::tableSql());
        out.indexWithNumbers = schemaOf(db, "idx");
        sqlite3_close(db);
        return out;
    }();
    return expected;
}

// Empty when the file holds exactly our objects, else what differs (names as
// a reader can show them).
QString schemaDifference(sqlite3* db, const char* schema) {
    const Schema actual = schemaOf(db, schema);
    const bool table = qstrcmp(schema, "main") == 0;
    const ExpectedSchemas& schemas = expectedSchemas();
    if (actual == (table ? schemas.table : schemas.index) ||
        (!table && actual == schemas.indexWithNumbers))
        return {};
    const Schema& expected = table ? schemas.table : schemas.indexWithNumbers;
    auto named = [](const SchemaEntry& e) -> QString {
        return e[0] + QStringLiteral(" \"") + withoutControlChars(e[1]).left(60) + u'"';
    };
    auto has = [](const Schema& in, const SchemaEntry& e, bool whole) {
        return std::any_of(in.begin(), in.end(), [&](const SchemaEntry& x) {
            return x[0] == e[0] && x[1] == e[1] && (!whole || x == e);
        });
    };
    QStringList foreign, missing, changed;
    for (const SchemaEntry& e : actual) {
        if (!has(expected, e, false))
            foreign << named(e);
        else if (!has(expected, e, true))
            changed << named(e);
    }
    for (const SchemaEntry& e : expected) {
        if (!has(actual, e, false))
            missing << named(e);
    }
    QStringList parts;
    if (!foreign.isEmpty())
        parts << QStringLiteral("foreign objects: ") +
                     foreign.mid(0, 5).join(QStringLiteral(", ")) +
                     (foreign.size() > 5 ? QStringLiteral(", ...") : QString());
    if (!changed.isEmpty())
        parts << QStringLiteral("laid out differently: ") + changed.join(QStringLiteral(", "));
    if (!missing.isEmpty())
        parts << QStringLiteral("missing: ") + missing.join(QStringLiteral(", "));
    return parts.join(QStringLiteral("; "));
}

// SQLite's own check of a file's pages and trees (not of the index contents,
// which the store checks itself): empty when sound, else its first findings.
QString quickCheck(sqlite3* db, const char* schema) {
    Statement q(db, QByteArray("PRAGMA ") + schema + ".quick_check(3)");
    QStringList findings;
    while (q.step())
        findings << q.text(0);
    if (findings == QStringList{QStringLiteral("ok")})
        return {};
    return findings.join(QStringLiteral("; "));
}

bool isCorruption(const Failure& f) {
    return (f.code & 0xff) == SQLITE_CORRUPT;
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

// "German / English: detail", as every error of the store reads.
QString describe(const QString& de, const QString& en, const QString& file, const QString& detail) {
    return de.arg(file) + QStringLiteral(" / ") + en.arg(file) + QStringLiteral(": ") + detail;
}

QString foreignDe() {
    return QStringLiteral("Die Datei %1 ist keine Adresstabelle dieses Programms; sie wird weder "
                          "geöffnet noch verändert");
}
QString foreignEn() {
    return QStringLiteral(
        "the file %1 is not an address table of this program; it is neither opened nor changed");
}
QString damagedDe() {
    return QStringLiteral("Die Tabelle %1 ist beschädigt; sie wird weder geöffnet noch "
                          "verändert. Bitte spielen Sie eine Datensicherung zurück");
}
QString damagedEn() {
    return QStringLiteral("the table %1 is damaged; it is neither opened nor changed. Please "
                          "restore a backup");
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
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // Nothing stored in a file may run code or change the schema behind our back.
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, static_cast<int*>(nullptr));
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, static_cast<int*>(nullptr));
    return db;
}

} // namespace

struct AddressStore::Statements {
    Statement insert, update, remove, byId, block, bumpMain, bumpIndex;
    Statement idxInsert[kIndexCount];
    Statement idxDelete[kIndexCount];
};

// The index file's page check, running in its own thread on its own connection.
struct AddressStore::IndexCheck {
    std::mutex mutex;
    sqlite3* db = nullptr; // while the check runs, so that close() can interrupt it
    bool stopped = false;
    QString damage; // written by the thread before it ends, read after join
    std::thread thread;
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
    throw EDatabaseError(describe(de, en, file, detailOf(f)));
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
            createTableObjects(db);
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
        removeStaleSuperJournals();
        // A file this open has just built needs no check.
        if (!m_rebuilt)
            startIndexCheck();
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
    // Reading needs no write, so nothing below can change a file that is then refused.
    try {
        sqlite::exec(m_db, "PRAGMA main.cache_size=-64000");
        Transaction tx(m_db, "BEGIN");
        // Exactly our objects: a trigger or view planted in the file would run
        // with every write or show other rows, and a second table is not ours.
        const QString difference = schemaDifference(m_db, "main");
        if (!difference.isEmpty())
            throw EForeignTable(describe(foreignDe(), foreignEn(), tablePath(), difference));

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
            throw EForeignTable(describe(foreignDe(), foreignEn(), tablePath(),
                                         QStringLiteral("unknown table format")));

        // A damaged page can pass a count and fail a later query; the check
        // walks every page and tree of the file.
        const QString findings = quickCheck(m_db, "main");
        if (!findings.isEmpty())
            throw EDamagedTable(describe(damagedDe(), damagedEn(), tablePath(), findings));

        Statement count(m_db, "SELECT count(*) FROM main.adressen");
        count.step();
        m_count = count.int64(0);
        tx.commit();
    } catch (const Failure& f) {
        if (isCorruption(f))
            throw EDamagedTable(describe(damagedDe(), damagedEn(), tablePath(), detailOf(f)));
        raise(QStringLiteral("Die Tabelle %1 ist beschädigt oder keine Adresstabelle"),
              QStringLiteral("the table %1 is damaged or not an address table"), tablePath(), f);
    }
    // Only now that the file is known to be ours and sound: a journal-mode switch could write.
    try {
        sqlite::exec(m_db, "PRAGMA main.journal_mode=DELETE");
        sqlite::exec(m_db, "PRAGMA main.synchronous=FULL");
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
        // Exactly our tables: a trigger planted here would change index rows
        // behind every write.
        if (!schemaDifference(m_db, "idx").isEmpty())
            return false;
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

        for (int k = 0; k < kIndexCount; ++k) {
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
        sqlite::exec(m_db, kIndexMetaSql);
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
    stopIndexCheck();
    m_numbers.release();
    m_stmts.reset();
    if (m_db) {
        // _v2: should a statement still be alive, the handle is freed with it.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_attached = false;
    m_count = 0;
    if (!m_indexDamage.isEmpty()) {
        // Never written to, only removed: it holds nothing the table does not.
        const QString path = indexPath();
        if (QFile::remove(path))
            QFile::remove(path + QStringLiteral("-journal"));
        m_indexDamage.clear();
    }
}

void AddressStore::setIndexDamageHandler(std::function<void(const QString&)> handler) {
    m_onIndexDamage = std::move(handler);
}

void AddressStore::startIndexCheck() {
    m_indexCheck = std::make_unique<IndexCheck>();
    IndexCheck* check = m_indexCheck.get();
    check->thread = std::thread([check, path = indexPath(), handler = m_onIndexDamage] {
        sqlite3* db = nullptr;
        QString findings;
        try {
            db = openConnection(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
            {
                const std::lock_guard lock(check->mutex);
                if (check->stopped) {
                    sqlite3_close(db);
                    return;
                }
                check->db = db;
            }
            findings = quickCheck(db, "main");
        } catch (const Failure& f) {
            // Busy or interrupted says nothing about the file.
            if (isCorruption(f) || (f.code & 0xff) == SQLITE_NOTADB)
                findings = detailOf(f);
        }
        {
            const std::lock_guard lock(check->mutex);
            check->db = nullptr;
            if (check->stopped)
                findings.clear();
        }
        sqlite3_close(db);
        if (findings.isEmpty())
            return;
        check->damage =
            describe(QStringLiteral("Der Index %1 ist beschädigt; bis zum nächsten Öffnen der "
                                    "Tabelle kann nichts gespeichert werden, dann wird er neu "
                                    "aufgebaut"),
                     QStringLiteral("the index %1 is damaged; nothing can be saved until the "
                                    "table is opened again, which rebuilds it"),
                     path, findings);
        if (handler)
            handler(check->damage);
    });
}

void AddressStore::stopIndexCheck() {
    if (!m_indexCheck)
        return;
    {
        const std::lock_guard lock(m_indexCheck->mutex);
        m_indexCheck->stopped = true;
        if (m_indexCheck->db)
            sqlite3_interrupt(m_indexCheck->db);
    }
    // A check that had already finished keeps its finding.
    if (m_indexCheck->thread.joinable())
        m_indexCheck->thread.join();
    if (!m_indexCheck->damage.isEmpty())
        m_indexDamage = m_indexCheck->damage;
    m_indexCheck.reset();
}

QString AddressStore::indexDamage() {
    if (m_indexCheck && m_indexCheck->thread.joinable()) {
        m_indexCheck->thread.join();
        if (!m_indexCheck->damage.isEmpty())
            m_indexDamage = m_indexCheck->damage;
    }
    return m_indexDamage;
}

void AddressStore::requireSoundIndex() {
    const QString damage = indexDamage();
    if (!damage.isEmpty())
        throw EDamagedTable(damage);
}

void AddressStore::removeStaleSuperJournals() {
    // SQLite writes a super-journal beside the table for every commit over
    // both files ("-mj", six hex digits, "9", two hex digits) and deletes it
    // once both journals are done with; a crash before the journals are
    // finished leaves it behind for good.
    static const QRegularExpression superJournalName(
        QRegularExpression::anchoredPattern(QRegularExpression::escape(kTableFile) +
                                            QStringLiteral("-mj[0-9A-Fa-f]{6}9[0-9A-Fa-f]{2}")));
    const QDir dir(m_folder);
    QStringList superJournals = dir.entryList({kTableFile + QStringLiteral("-mj*")},
                                              QDir::Files | QDir::Hidden | QDir::System);
    superJournals = superJournals.filter(superJournalName);
    if (superJournals.isEmpty())
        return;
    // One is alive while a commit is under way, which holds the write lock on
    // both files: taking that lock ourselves (without waiting) shuts every
    // other writer out while we look. Taking it also rolls back a hot journal
    // of either file, after which SQLite deletes the super-journal it names.
    // A journal left whose first byte is zero was never synced, so SQLite
    // ignores it and the file it journals was never touched; any other journal
    // keeps every super-journal.
    auto mayBeHot = [](const QString& journal) {
        QFile f(journal);
        if (!f.exists())
            return false;
        char first = 1;
        return !f.open(QIODevice::ReadOnly) || (f.read(&first, 1) == 1 && first != 0);
    };
    sqlite3_busy_timeout(m_db, 0);
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK) {
        if (!mayBeHot(tablePath() + QStringLiteral("-journal")) &&
            !mayBeHot(indexPath() + QStringLiteral("-journal"))) {
            for (const QString& name : superJournals)
                QFile::remove(dir.filePath(name));
        }
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
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

qint64 AddressStore::insertRecords(std::span<const Record> records, std::vector<qint64>* ids) {
    requireSoundIndex();
    if (ids)
        ids->clear();
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
            if (ids)
                ids->push_back(id);
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
        if (ids)
            ids->clear();
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
    requireSoundIndex();
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
    requireSoundIndex();
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
    requireSoundIndex();
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
        sqlite3* db = m_attached ? m_db : nullptr;
        // Building it writes the index file, which must have passed its check.
        if (m_numbers.needsBuild(db))
            requireSoundIndex();
        m_numbers.ensure(db);
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
              if (metaFormat(db) != kFormat || schemaOf(db, "main") != expectedSchemas().table)
                  throw Failure{SQLITE_CORRUPT, QStringLiteral("unknown table format")};
          });
    check(indexPath, QStringLiteral("%1 ist kein lesbarer Index einer Adresstabelle"),
          QStringLiteral("%1 is not a readable address index"), [&](sqlite3* db) {
              if (metaFormat(db) != kFormat)
                  throw Failure{SQLITE_CORRUPT, QStringLiteral("unknown index format")};
              const Schema found = schemaOf(db, "main");
              if (found != expectedSchemas().index && found != expectedSchemas().indexWithNumbers)
                  throw Failure{SQLITE_CORRUPT, QStringLiteral("unknown index format")};
          });
}

} // namespace kalvendo
