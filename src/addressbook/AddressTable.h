#pragma once

#include "addressbook/Fields.h"
#include "addressbook/FilterExpression.h"
#include "addressbook/OrderList.h"
#include "addressbook/RecordCache.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <span>

namespace kalvendo {

class AddressStore;
class NumberKeys;

// The cursor over the address table that the main window owns (objectName
// "AdsTable1"): one current record, browsed in the order of the active index
// and within the filter, edited through a buffer and written by post().
// Every failure is an EDatabaseError.
//
// Notifications map one-to-one onto a QAbstractTableModel over rowCount()/value():
//   orderAboutToBeReset/orderReset      -> beginResetModel/endResetModel
//   rowAboutToBeInserted/rowInserted    -> beginInsertRows/endInsertRows (one row)
//   rowAboutToBeRemoved/rowRemoved      -> beginRemoveRows/endRemoveRows
//   rowAboutToBeMoved(from, to)/rowMoved -> beginMoveRows(from, from, to > from ? to + 1 : to)
//   rowChanged(row)                     -> dataChanged over the row
// "to" is the row the moved record has afterwards. The bound edit fields follow
// currentChanged and recordDataChanged.
class AddressTable : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Insert, Edit };
    Q_ENUM(State)
    enum LocateOption { CaseInsensitive = 0x1, Partial = 0x2 };
    Q_DECLARE_FLAGS(LocateOptions, LocateOption)
    Q_FLAG(LocateOptions)

    explicit AddressTable(QObject* parent = nullptr);
    ~AddressTable() override;

    // A new empty table (both files) in an existing folder without one.
    static void createTable(const QString& folder);

    void connectFolder(const QString& path);
    void disconnectFolder();
    bool isConnected() const { return m_connected; }
    QString folder() const { return m_folder; }

    // Opens "adressen.adt" of the connected folder; the first record is current.
    // A table file that is not exactly ours raises EForeignTable, a damaged
    // one EDamagedTable; neither is changed.
    void open();
    // Closes the files; an unsaved insertion or change is abandoned.
    void close();
    bool isActive() const { return m_state != State::Inactive; }
    // Whether the last open had to rebuild the index file.
    bool indexRebuilt() const;

    State state() const { return m_state; }
    // All records of the table, whatever the filter.
    qint64 recordCount() const;

    // Moves save a changed record first and abandon an unchanged one.
    void first();
    void last();
    void next();
    void prior();
    // True after next() passed the last record (prior() the first), or when no record is shown.
    bool eof() const;
    bool bof() const;

    void insert();
    void append();
    void edit();
    void post();
    void cancel();
    void deleteRecord();
    void refresh();
    bool isModified() const;

    // Rewrites every record the table shows (current order, within the filter)
    // in one transaction, saving a pending change first; the view is re-read
    // afterwards. A failure keeps the records done before it.
    void updateEach(const std::function<void(Record&)>& change,
                    const std::function<void(qsizetype done)>& progress = {});

    // Stores the records in one transaction (values cut to their widths),
    // saving a pending change first; the shown ones join the order at their
    // places and the current record stays current. Throws with none stored.
    void appendRecords(std::span<const Record> records);

    int fieldCount() const { return kFieldCount; }
    QString fieldValue(int pos) const;
    void setFieldValue(int pos, const QString& value);
    QString fieldByName(const QString& name) const;
    void setFieldByName(const QString& name, const QString& value);

    // Without options: the whole value equals text exactly. Partial: the value
    // begins with text. CaseInsensitive: compared under Unicode case folding.
    bool locate(const QString& fieldName, const QString& text, LocateOptions options = {});

    // The comparable forms of telephone numbers that locateNumber() compares,
    // kept as an index beside the others: set before open() or later (an
    // index built with other keys is rebuilt then, which takes a few seconds
    // at 100,000 records). Null switches the index off. Throws EDatabaseError
    // when the index cannot be built.
    void setNumberKeys(std::shared_ptr<const NumberKeys> keys);
    // Why open() had to leave the number index off; empty when it is on.
    QString numberIndexError() const;
    // Makes current the first record (in the current order, within the filter)
    // whose telephone number, else mobile number, has the same form as number;
    // else the record of a switchboard ("-0") of which number is an extension.
    // False, and nothing moves, when there is none or no number keys are set.
    bool locateNumber(const QString& number);

    void setFilter(const QString& expression);
    QString filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool isFiltered() const { return m_filtered; }

    void setIndexName(const QString& name);
    QString indexName() const;

    // Grid access: rows of the current order within the filter.
    int rowCount() const { return m_order.size(); }
    // Row of the current record; -1 when none is shown or a new one is being inserted.
    int currentRow() const { return m_state == State::Insert ? -1 : m_row; }
    void moveToRow(int row);
    // A cell, read through the record cache; empty for a row that does not exist.
    QString value(int row, int fieldPos) const;

Q_SIGNALS:
    void stateChanged(kalvendo::AddressTable::State state);
    // Another record became current (row -1: none, or a new one being inserted).
    void currentChanged(int row);
    // A value of the current record changed; -1 for all of them.
    void recordDataChanged(int fieldPos);
    void orderAboutToBeReset();
    void orderReset();
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowAboutToBeMoved(int from, int to);
    void rowMoved(int from, int to);
    void rowChanged(int row);
    // Shortly after open: the index file turned out to be damaged. Nothing can
    // be saved until the table is opened again, which rebuilds it.
    void indexDamaged(const QString& message);

private:
    void requireActive() const;
    int checkedPos(int pos) const;
    const FilterExpression& activeFilter() const;
    RecordData recordAt(int row) const;
    const QString& current(int pos) const;
    void loadAllFields();
    void checkBrowseMode();
    void setState(State s);
    void makeCurrent(int row);
    void goTo(int row);
    void replaceOrder(OrderList&& order, int indexNo);
    void placeInserted(qint64 id);
    void placeChanged();

    std::unique_ptr<AddressStore> m_store;
    QString m_folder;
    bool m_connected = false;
    State m_state = State::Inactive;
    int m_indexNo = 0;
    QString m_filterText;
    FilterExpression m_filter;
    bool m_filtered = false;

    OrderList m_order;
    mutable RecordCache m_cache;
    int m_row = -1; // current row; while inserting, the row to return to
    qint64 m_currentId = -1;
    RecordData m_stored;          // the current record as stored
    mutable Record m_buffer;      // its values, decoded on first use; edited in place
    mutable quint32 m_loaded = 0; // bit per field decoded into m_buffer
    Record m_original;            // while inserting or editing: the values before
    bool m_eof = true;
    bool m_bof = true;
};

} // namespace kalvendo

Q_DECLARE_OPERATORS_FOR_FLAGS(kalvendo::AddressTable::LocateOptions)
