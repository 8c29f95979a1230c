#pragma once

#include "addressbook/Fields.h"
#include "addressbook/NumberKeys.h"
#include "addressbook/Sqlite.h"

#include <functional>
#include <memory>
#include <vector>

struct sqlite3;

namespace kalvendo {

// The index of telephone and mobile numbers in their comparable form, a table
// "NUMMERN" in the attached index file beside the field indexes, rows (form,
// source, record id). It is kept by the store's write transactions while
// number keys are set; its own generation stamp in the index file's meta
// advances only then, so after a write without keys (or by a program that
// does not know the table) it is out of step and is rebuilt when it is next
// needed. The table records the keys' identity it was built with.
//
// Every database failure is a sqlite::Failure; the store turns it into an
// EDatabaseError.
class NumberIndex {
public:
    // Where a match came from, best first.
    enum Source { Telephone = 0, Mobile = 1, TelephoneSwitchboard = 2, MobileSwitchboard = 3 };

    struct Match {
        // 0, 1: telephone, mobile number; then a switchboard whose extension
        // the number is, the longest line number first (2 + 2 * (digits of
        // the extension - 1) + 1 for a mobile number).
        int rank;
        qint64 id;
        Record record;
    };

    NumberIndex() = default;
    ~NumberIndex();
    NumberIndex(const NumberIndex&) = delete;
    NumberIndex& operator=(const NumberIndex&) = delete;

    void setKeys(std::shared_ptr<const NumberKeys> keys);
    const std::shared_ptr<const NumberKeys>& keys() const { return m_keys; }
    // Whether the table is in step and kept: keys set and ensure() done.
    bool isReady() const { return m_ready; }
    // Whether the last ensure() had to build the table.
    bool wasRebuilt() const { return m_rebuilt; }

    // With the index file attached as "idx" and trusted: builds the table (in
    // a transaction of its own that writes only the index file) unless it
    // exists, is in step with the table and was built with the same keys.
    // Without keys it only remembers the connection.
    void ensure(sqlite3* db);
    // Whether ensure(db) would build the table, which writes the index file.
    bool needsBuild(sqlite3* db) const;
    // Forgets the connection (before detaching or closing).
    void release();

    // The statement that lays out the table in the attached index file.
    static QByteArray tableSql();

    // Inside the store's write transaction; nothing without keys.
    void add(qint64 id, const Record& r);
    void remove(qint64 id, const Record& r);
    void change(qint64 id, const Record& old, const Record& r);
    // After the store bumped the generation: marks the table in step with it.
    void stamp();

    // The records whose numbers have the same form as number, ordered by rank
    // and then id. Empty when the index is not ready or number has no form.
    std::vector<Match> find(const QString& number);

private:
    bool inStep(sqlite3* db) const;
    void rebuild();
    void write(sqlite::Statement& slot, const QByteArray& sql, const QString& key, int source,
               qint64 id);
    void forEachKey(const Record& r, const std::function<void(const QString&, int)>& sink) const;

    std::shared_ptr<const NumberKeys> m_keys;
    sqlite3* m_db = nullptr;
    bool m_ready = false;
    bool m_rebuilt = false;
    sqlite::Statement m_insert, m_delete, m_stamp, m_find;
};

} // namespace kalvendo
