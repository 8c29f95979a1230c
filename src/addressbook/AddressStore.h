#pragma once

#include "addressbook/Collation.h"
#include "addressbook/Fields.h"
#include "addressbook/NumberIndex.h"
#include "addressbook/Sqlite.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

struct sqlite3;

namespace kalvendo {

class FilterExpression;
class OrderList;
class RecordData;

// The two files of the address table in a data folder: "adressen.adt" (the
// records) and "adressen.adi" (the eleven indexes), one SQLite database each,
// the index file attached to the table's connection. Every write changes the
// record and all indexes in one transaction over both files. The table file is
// never created or repaired on open; the index file is rebuilt whenever it
// cannot be trusted. Every failure is an EDatabaseError (EForeignTable and
// EDamagedTable for a table file that open refuses).
class AddressStore {
public:
    static const QString kTableFile; // "adressen.adt"
    static const QString kIndexFile; // "adressen.adi"

    // Lays out a new empty table (both files) in an existing folder. Refuses to
    // touch a folder that already holds a table file.
    static void createTable(const QString& folder);

    // Whether the two files are a readable table and index of this program's
    // format, changing neither: every page is read and the layout compared.
    // Throws EDatabaseError naming the first file that is not.
    static void checkFiles(const QString& tablePath, const QString& indexPath);

    AddressStore();
    ~AddressStore();
    AddressStore(const AddressStore&) = delete;
    AddressStore& operator=(const AddressStore&) = delete;

    // Refuses a table file that is not exactly ours (EForeignTable) or whose
    // pages are damaged (EDamagedTable) without writing to it; removes
    // super-journals that crashes left behind.
    void open(const QString& folder);
    // Removes an index file that the check below found damaged, so that the
    // next open rebuilds it.
    void close();
    bool isOpen() const { return m_db != nullptr; }
    // Whether the last open had to rebuild the index file.
    bool indexRebuilt() const { return m_rebuilt; }
    QString tablePath() const;
    QString indexPath() const;

    // The index file's page check takes longer than the table's, so it runs
    // after open on a second, read-only connection in a thread of its own.
    // handler is called from that thread, once, when it finds damage, with the
    // message for the user. Writes wait for the check and are refused
    // (EDamagedTable) once it found damage.
    void setIndexDamageHandler(std::function<void(const QString& message)> handler);
    // Waits for that check; empty when the index file is sound or this open
    // rebuilt it, else the message.
    QString indexDamage();

    QByteArray sortKey(const QString& text) const { return m_collation->sortKey(text); }
    const Collation& collation() const { return *m_collation; }

    // Records in the table, kept up to date by the writes below.
    qint64 recordCount() const { return m_count; }
    // Counts again from the file (after a refresh).
    qint64 countRecords();

    // The rows of an index in its order, only those passing the filter.
    void loadOrder(int indexNo, const FilterExpression& filter, OrderList& out);

    // The records of those ids that exist, handed to sink in no particular order.
    void readRecords(std::span<const qint64> ids,
                     const std::function<void(qint64, const RecordData&)>& sink);
    std::optional<Record> readRecord(qint64 id);

    // Each is one transaction over both files; returns or throws, never half done.
    // Values longer than their field are cut (fitToField).
    qint64 insertRecord(const Record& r);
    // Adds all of them in one transaction (imports, fixtures); returns the last
    // id, and every new id in order when ids is given.
    qint64 insertRecords(std::span<const Record> records, std::vector<qint64>* ids = nullptr);
    void updateRecord(qint64 id, const Record& r);
    // Lets change rewrite each of the records, all in one transaction; when a
    // write fails, the records changed before it are kept and the error raised.
    // progress is told every few hundred records how many are done.
    void updateEach(std::span<const qint64> ids, const std::function<void(Record&)>& change,
                    const std::function<void(qsizetype done)>& progress = {});
    void deleteRecord(qint64 id);

    // The records whose key in the index equals key, by id.
    std::vector<std::pair<qint64, Record>> recordsWithKey(int indexNo, QByteArrayView key);

    // Walks the index's order (within the filter) and returns the (key, id) of
    // the first row whose value of field satisfies match.
    std::optional<std::pair<QByteArray, qint64>>
    findFirstInOrder(int indexNo, const FilterExpression& filter, int field,
                     const std::function<bool(const QString&)>& match);

    // The comparable forms of telephone and mobile numbers, kept as one more
    // index (see NumberIndex). Set before open() or at any time after: an index
    // built with other keys is rebuilt then. Null switches the index off.
    void setNumberKeys(std::shared_ptr<const NumberKeys> keys);
    // Whether the last open() or setNumberKeys() had to build the number index.
    bool numberIndexRebuilt() const { return m_numbers.wasRebuilt(); }
    // Why open() could not build the number index (the table is open all the
    // same, the index is off); empty when it could. setNumberKeys() throws instead.
    QString numberIndexError() const { return m_numberError; }
    // The records whose telephone or mobile number has the same form as
    // number, best first (NumberIndex::find); empty without number keys.
    std::vector<NumberIndex::Match> numberMatches(const QString& number);

private:
    struct Statements;
    struct IndexCheck;

    [[noreturn]] void raise(const QString& de, const QString& en, const QString& file,
                            const sqlite::Failure& f) const;
    void openTableFile();
    void writeChangedRow(qint64 id, const Record& old, const Record& given);
    bool indexFileUsable();
    void rebuildIndexFile();
    void ensureNumberIndex();
    void attachIndex();
    void detachIndex();
    void startIndexCheck();
    void stopIndexCheck();
    void requireSoundIndex();
    void removeStaleSuperJournals();
    Record readRow(qint64 id);
    void bumpGeneration();
    sqlite::Statement& stmt(sqlite::Statement& slot, const QByteArray& sql);

    std::unique_ptr<Collation> m_collation;
    QString m_folder;
    sqlite3* m_db = nullptr;
    bool m_attached = false;
    bool m_rebuilt = false;
    qint64 m_count = 0;
    QString m_uuid;
    std::unique_ptr<Statements> m_stmts;
    NumberIndex m_numbers;
    QString m_numberError;
    std::function<void(const QString&)> m_onIndexDamage;
    std::unique_ptr<IndexCheck> m_indexCheck;
    QString m_indexDamage;
};

} // namespace kalvendo
