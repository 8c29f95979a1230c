#include "addressbook/NumberIndex.h"

#include <sqlite3.h>

#include <algorithm>

namespace kalvendo {

using sqlite::Failure;
using sqlite::Statement;

namespace {

const QByteArray kTable = "idx.\"NUMMERN\"";
// sqlite_schema keeps the statement without the schema prefix.
const QString kSchema = QString::fromUtf8(NumberIndex::tableSql())
                            .replace(QStringLiteral("TABLE idx."), QStringLiteral("TABLE "));

// Extensions of a switchboard are looked for with up to this many digits.
constexpr int kMaxExtensionDigits = 5;
// A line number shorter than this ("+" and the digits) is no switchboard.
constexpr qsizetype kMinSwitchboardForm = 7;

QByteArray columns() {
    QByteArray s;
    for (int i = 0; i < kFieldCount; ++i)
        s += QByteArray(", a.\"") + fieldDef(i).name + '"';
    return s;
}

Statement& prepared(sqlite3* db, Statement& slot, const QByteArray& sql) {
    if (!slot.isValid())
        slot = Statement(db, sql, true);
    else
        slot.reset();
    return slot;
}

} // namespace

QByteArray NumberIndex::tableSql() {
    return "CREATE TABLE " + kTable +
           "(key TEXT NOT NULL, source INTEGER NOT NULL, id INTEGER NOT NULL, PRIMARY KEY(key, "
           "source, id)) WITHOUT ROWID";
}

NumberIndex::~NumberIndex() {
    release();
}

void NumberIndex::setKeys(std::shared_ptr<const NumberKeys> keys) {
    m_keys = std::move(keys);
    m_ready = false;
}

void NumberIndex::release() {
    m_insert = Statement();
    m_delete = Statement();
    m_stamp = Statement();
    m_find = Statement();
    m_db = nullptr;
    m_ready = false;
}

void NumberIndex::ensure(sqlite3* db) {
    if (db != m_db)
        release();
    m_db = db;
    m_ready = false;
    m_rebuilt = false;
    if (!m_keys || !m_db)
        return;
    if (!inStep(m_db)) {
        rebuild();
        m_rebuilt = true;
    }
    m_ready = true;
}

bool NumberIndex::needsBuild(sqlite3* db) const {
    return m_keys && db && !inStep(db);
}

bool NumberIndex::inStep(sqlite3* db) const {
    Statement schema(db, "SELECT sql FROM idx.sqlite_schema WHERE type = 'table' AND name = "
                         "'NUMMERN'");
    if (!schema.step() || schema.text(0) != kSchema)
        return false;
    Statement meta(db, "SELECT (SELECT value FROM idx.meta WHERE key = 'numbers'), (SELECT "
                       "value FROM idx.meta WHERE key = 'numbersgeneration') IS (SELECT value "
                       "FROM main.meta WHERE key = 'generation')");
    return meta.step() && meta.text(0) == m_keys->identity() && meta.int64(1) == 1;
}

void NumberIndex::forEachKey(const Record& r,
                             const std::function<void(const QString&, int)>& sink) const {
    const int fields[2] = {fTelefon, fMobil};
    for (int f = 0; f < 2; ++f) {
        const QString& value = r[fields[f]];
        if (value.trimmed().isEmpty())
            continue;
        const NumberKeys::Forms forms = m_keys->forms(value);
        if (!forms.number.isEmpty())
            sink(forms.number, f == 0 ? Telephone : Mobile);
        if (!forms.switchboard.isEmpty())
            sink(forms.switchboard, f == 0 ? TelephoneSwitchboard : MobileSwitchboard);
    }
}

void NumberIndex::rebuild() {
    m_insert = Statement();
    m_delete = Statement();
    m_stamp = Statement();
    m_find = Statement();
    // Deferred, so that only the index file is written.
    sqlite::exec(m_db, "BEGIN");
    try {
        sqlite::exec(m_db, "DROP TABLE IF EXISTS " + kTable);
        sqlite::exec(m_db, tableSql());
        struct Entry {
            QString key;
            int source;
            qint64 id;
        };
        std::vector<Entry> entries;
        Statement rows(m_db, "SELECT id, \"Telefon\", \"Mobil\" FROM main.adressen");
        Record r;
        while (rows.step()) {
            const qint64 id = rows.int64(0);
            r[fTelefon] = rows.text(1);
            r[fMobil] = rows.text(2);
            forEachKey(r, [&](const QString& key, int source) {
                entries.push_back({key, source, id});
            });
        }
        // Inserting in key order keeps the b-tree writes sequential.
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            const int c = QString::compare(a.key, b.key);
            if (c != 0)
                return c < 0;
            return a.source != b.source ? a.source < b.source : a.id < b.id;
        });
        Statement ins(m_db, "INSERT OR IGNORE INTO " + kTable +
                                "(key, source, id) VALUES (?1, "
                                "?2, ?3)");
        for (const Entry& e : entries) {
            ins.bind(1, e.key);
            ins.bind(2, qint64(e.source));
            ins.bind(3, e.id);
            ins.step();
            ins.reset();
        }
        Statement meta(m_db, "INSERT OR REPLACE INTO idx.meta(key, value) VALUES ('numbers', ?1), "
                             "('numbersgeneration', (SELECT value FROM main.meta WHERE key = "
                             "'generation'))");
        meta.bind(1, m_keys->identity());
        meta.step();
        sqlite::exec(m_db, "COMMIT");
    } catch (...) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void NumberIndex::write(Statement& slot, const QByteArray& sql, const QString& key, int source,
                        qint64 id) {
    Statement& s = prepared(m_db, slot, sql);
    s.bind(1, key);
    s.bind(2, qint64(source));
    s.bind(3, id);
    s.step();
}

void NumberIndex::add(qint64 id, const Record& r) {
    if (!m_ready)
        return;
    forEachKey(r, [&](const QString& key, int source) {
        // The same form twice in one record (telephone and mobile alike) is
        // one row per source, so OR IGNORE only guards a repeated key.
        write(m_insert, "INSERT OR IGNORE INTO " + kTable + "(key, source, id) VALUES (?1, ?2, ?3)",
              key, source, id);
    });
}

void NumberIndex::remove(qint64 id, const Record& r) {
    if (!m_ready)
        return;
    forEachKey(r, [&](const QString& key, int source) {
        write(m_delete, "DELETE FROM " + kTable + " WHERE key = ?1 AND source = ?2 AND id = ?3",
              key, source, id);
    });
}

void NumberIndex::change(qint64 id, const Record& old, const Record& r) {
    if (!m_ready || (old[fTelefon] == r[fTelefon] && old[fMobil] == r[fMobil]))
        return;
    remove(id, old);
    add(id, r);
}

void NumberIndex::stamp() {
    if (!m_ready)
        return;
    prepared(m_db, m_stamp,
             "UPDATE idx.meta SET value = (SELECT value FROM main.meta WHERE key = 'generation') "
             "WHERE key = 'numbersgeneration'")
        .step();
}

std::vector<NumberIndex::Match> NumberIndex::find(const QString& number) {
    std::vector<Match> out;
    if (!m_ready || number.trimmed().isEmpty())
        return out;
    const QString form = m_keys->forms(number).number;
    if (form.isEmpty())
        return out;
    auto probe = [&](const QString& key, int fromSource, int toSource, int rankBase) {
        Statement& q = prepared(m_db, m_find,
                                "SELECT o.source, o.id" + columns() + " FROM " + kTable +
                                    " AS o CROSS JOIN main.adressen AS a ON a.id = o.id WHERE "
                                    "o.key = ?1 AND o.source BETWEEN ?2 AND ?3 ORDER BY o.source, "
                                    "o.id");
        q.bind(1, key);
        q.bind(2, qint64(fromSource));
        q.bind(3, qint64(toSource));
        while (q.step()) {
            Match m{rankBase + int(q.int64(0)) % 2, q.int64(1), {}};
            for (int c = 0; c < kFieldCount; ++c)
                m.record[c] = q.text(c + 2);
            out.push_back(std::move(m));
        }
    };
    // All probes run, so that a match the cursor's filter hides does not hide
    // a worse one it shows.
    probe(form, Telephone, Mobile, 0);
    // A caller from an extension: the line number is the form without its last digits.
    for (int digits = 1; digits <= kMaxExtensionDigits; ++digits) {
        const QString base = form.chopped(digits);
        if (base.size() < kMinSwitchboardForm)
            break;
        probe(base, TelephoneSwitchboard, MobileSwitchboard, 2 + 2 * (digits - 1));
    }
    return out;
}

} // namespace kalvendo
