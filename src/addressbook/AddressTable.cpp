#include "addressbook/AddressTable.h"

#include "addressbook/AddressStore.h"
#include "addressbook/DatabaseError.h"

#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <vector>

namespace kalvendo {

namespace {

constexpr int kBlockRows = kRecordBlock;

const FilterExpression& noFilter() {
    static const FilterExpression empty;
    return empty;
}

[[noreturn]] void fault(const QString& de, const QString& en) {
    throw EDatabaseError(de + QStringLiteral(" / ") + en);
}

int namedField(const QString& name) {
    const int pos = fieldPosition(name);
    if (pos < 0)
        fault(QStringLiteral("Feld \"%1\" nicht gefunden").arg(name),
              QStringLiteral("field \"%1\" not found").arg(name));
    return pos;
}

} // namespace

AddressTable::AddressTable(QObject* parent)
    : QObject(parent), m_store(std::make_unique<AddressStore>()) {
    // Called from the store's checking thread; the signal is sent in ours.
    m_store->setIndexDamageHandler([this](const QString&) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                // Unless the table has been opened again since.
                const QString damage = m_store->indexDamage();
                if (!damage.isEmpty())
                    Q_EMIT indexDamaged(damage);
            },
            Qt::QueuedConnection);
    });
}

AddressTable::~AddressTable() {
    // Ends the store's checking thread while this object can still take its call.
    m_store->close();
}

void AddressTable::createTable(const QString& folder) {
    AddressStore::createTable(folder);
}

void AddressTable::connectFolder(const QString& path) {
    if (!QFileInfo(path).isDir())
        fault(QStringLiteral("Der Datenordner %1 kann nicht verwendet werden: er existiert nicht")
                  .arg(path),
              QStringLiteral("the data folder %1 cannot be used: it does not exist").arg(path));
    close();
    m_folder = path;
    m_connected = true;
}

void AddressTable::disconnectFolder() {
    close();
    m_connected = false;
}

bool AddressTable::indexRebuilt() const {
    return m_store->indexRebuilt();
}

void AddressTable::requireActive() const {
    if (m_state == State::Inactive)
        fault(QStringLiteral("Die Adresstabelle ist nicht geöffnet"),
              QStringLiteral("the address table is not open"));
}

int AddressTable::checkedPos(int pos) const {
    if (pos < 0 || pos >= kFieldCount)
        fault(QStringLiteral("Feldnummer %1 gibt es nicht").arg(pos),
              QStringLiteral("there is no field number %1").arg(pos));
    return pos;
}

const FilterExpression& AddressTable::activeFilter() const {
    return m_filtered ? m_filter : noFilter();
}

void AddressTable::open() {
    if (isActive())
        return;
    if (!m_connected)
        fault(QStringLiteral("Kein Datenordner verbunden"),
              QStringLiteral("no data folder is connected"));
    m_store->open(m_folder);
    OrderList order;
    try {
        m_store->loadOrder(m_indexNo, activeFilter(), order);
    } catch (const EDatabaseError&) {
        // An index file damaged in a way its counts did not show: closing
        // removes it, so opening again rebuilds it.
        const bool damaged = !m_store->indexDamage().isEmpty();
        m_store->close();
        if (!damaged)
            throw;
        m_store->open(m_folder);
        try {
            m_store->loadOrder(m_indexNo, activeFilter(), order);
        } catch (...) {
            m_store->close();
            throw;
        }
    } catch (...) {
        m_store->close();
        throw;
    }
    m_cache.clear();
    Q_EMIT orderAboutToBeReset();
    m_order = std::move(order);
    m_state = State::Browse;
    Q_EMIT orderReset();
    Q_EMIT stateChanged(m_state);
    makeCurrent(m_order.isEmpty() ? -1 : 0);
    m_eof = m_bof = m_order.isEmpty();
}

void AddressTable::close() {
    if (!isActive())
        return;
    Q_EMIT orderAboutToBeReset();
    m_store->close();
    m_order.clear();
    m_cache.clear();
    m_state = State::Inactive;
    Q_EMIT orderReset();
    Q_EMIT stateChanged(m_state);
    makeCurrent(-1);
    m_eof = m_bof = true;
}

qint64 AddressTable::recordCount() const {
    requireActive();
    return m_store->recordCount();
}

RecordData AddressTable::recordAt(int row) const {
    if (const RecordData* r = m_cache.find(row))
        return *r;
    // Fetch the whole block around the row: a walk or a grid page costs one query.
    const int start = row - row % kBlockRows;
    const int end = qMin(start + kBlockRows, m_order.size());
    std::vector<qint64> ids;
    std::vector<std::pair<qint64, int>> offsets; // id -> row in the block, sorted by id
    ids.reserve(static_cast<size_t>(end - start));
    offsets.reserve(ids.capacity());
    for (int i = start; i < end; ++i) {
        ids.push_back(m_order.idAt(i));
        offsets.emplace_back(ids.back(), i - start);
    }
    std::sort(offsets.begin(), offsets.end());
    // A record removed behind our back stays empty until refresh() drops its row.
    std::vector<RecordData> block(ids.size());
    m_store->readRecords(ids, [&](qint64 got, const RecordData& r) {
        const auto it = std::lower_bound(offsets.begin(), offsets.end(), std::make_pair(got, 0));
        if (it != offsets.end() && it->first == got)
            block[static_cast<size_t>(it->second)] = r;
    });
    RecordData record = block[static_cast<size_t>(row - start)];
    m_cache.putBlock(start, std::move(block));
    return record;
}

const QString& AddressTable::current(int pos) const {
    const quint32 bit = 1u << pos;
    if (!(m_loaded & bit)) {
        m_buffer[pos] = m_stored.field(pos);
        m_loaded |= bit;
    }
    return m_buffer[pos];
}

void AddressTable::loadAllFields() {
    for (int i = 0; i < kFieldCount; ++i)
        current(i);
}

void AddressTable::setState(State s) {
    if (m_state == s)
        return;
    m_state = s;
    Q_EMIT stateChanged(s);
}

void AddressTable::makeCurrent(int row) {
    m_row = row;
    if (row >= 0) {
        m_currentId = m_order.idAt(row);
        m_stored = recordAt(row);
    } else {
        m_currentId = -1;
        m_stored = RecordData{};
    }
    m_loaded = 0;
    Q_EMIT currentChanged(row);
    Q_EMIT recordDataChanged(-1);
}

void AddressTable::goTo(int row) {
    m_eof = m_bof = false;
    if (row != m_row)
        makeCurrent(row);
}

void AddressTable::checkBrowseMode() {
    if (m_state != State::Insert && m_state != State::Edit)
        return;
    if (isModified())
        post();
    else
        cancel();
}

void AddressTable::first() {
    requireActive();
    checkBrowseMode();
    if (m_order.isEmpty())
        return;
    goTo(0);
}

void AddressTable::last() {
    requireActive();
    checkBrowseMode();
    if (m_order.isEmpty())
        return;
    goTo(m_order.size() - 1);
}

void AddressTable::next() {
    requireActive();
    checkBrowseMode();
    if (m_order.isEmpty())
        return;
    if (m_row >= m_order.size() - 1) {
        m_eof = true;
        return;
    }
    goTo(m_row + 1);
}

void AddressTable::prior() {
    requireActive();
    checkBrowseMode();
    if (m_order.isEmpty())
        return;
    if (m_row <= 0) {
        m_bof = true;
        return;
    }
    goTo(m_row - 1);
}

bool AddressTable::eof() const {
    return !isActive() || m_order.isEmpty() || m_eof;
}
bool AddressTable::bof() const {
    return !isActive() || m_order.isEmpty() || m_bof;
}

void AddressTable::moveToRow(int row) {
    requireActive();
    if (row < 0 || row >= m_order.size())
        fault(QStringLiteral("Zeile %1 gibt es nicht").arg(row),
              QStringLiteral("there is no row %1").arg(row));
    // Saving the current record may shift rows: remember the target itself.
    const QByteArray key = m_order.keyAt(row).toByteArray();
    const qint64 id = m_order.idAt(row);
    checkBrowseMode();
    const int target = m_order.find(key, id);
    if (target >= 0)
        goTo(target);
}

void AddressTable::insert() {
    requireActive();
    checkBrowseMode();
    m_buffer = Record{};
    m_loaded = ~0u;
    m_original = m_buffer;
    setState(State::Insert);
    Q_EMIT currentChanged(-1);
    Q_EMIT recordDataChanged(-1);
}

// Rows are placed by the active index, so where a new record is added does not
// matter: after post it stands at its place in the order either way.
void AddressTable::append() {
    insert();
}

void AddressTable::edit() {
    requireActive();
    if (m_state == State::Insert || m_state == State::Edit)
        return;
    if (m_row < 0)
        fault(QStringLiteral("Kein Datensatz zum Bearbeiten vorhanden"),
              QStringLiteral("there is no record to edit"));
    loadAllFields();
    m_original = m_buffer;
    setState(State::Edit);
}

bool AddressTable::isModified() const {
    return (m_state == State::Insert || m_state == State::Edit) && m_buffer != m_original;
}

QString AddressTable::fieldValue(int pos) const {
    requireActive();
    return current(checkedPos(pos));
}

void AddressTable::setFieldValue(int pos, const QString& value) {
    requireActive();
    checkedPos(pos);
    if (m_state != State::Insert && m_state != State::Edit)
        fault(QStringLiteral("Die Tabelle ist nicht im Bearbeitungs- oder Einfügemodus"),
              QStringLiteral("the table is not in edit or insert mode"));
    const QString v = fitToField(pos, value);
    if (m_buffer[pos] == v)
        return;
    m_buffer[pos] = v;
    Q_EMIT recordDataChanged(pos);
    if (m_state == State::Edit)
        Q_EMIT rowChanged(m_row);
}

QString AddressTable::fieldByName(const QString& name) const {
    requireActive();
    return current(namedField(name));
}

void AddressTable::setFieldByName(const QString& name, const QString& value) {
    requireActive();
    setFieldValue(namedField(name), value);
}

void AddressTable::post() {
    requireActive();
    if (m_state == State::Insert) {
        const qint64 id = m_store->insertRecord(m_buffer); // throws with nothing changed
        placeInserted(id);
    } else if (m_state == State::Edit) {
        if (!isModified()) {
            setState(State::Browse);
            return;
        }
        m_store->updateRecord(m_currentId, m_buffer);
        m_stored = RecordData::fromRecord(m_buffer);
        placeChanged();
    } else {
        fault(QStringLiteral("Kein Datensatz wird eingefügt oder bearbeitet"),
              QStringLiteral("no record is being inserted or edited"));
    }
}

void AddressTable::placeInserted(qint64 id) {
    const int field = indexDef(m_indexNo).field;
    const QByteArray key = m_store->sortKey(m_buffer[field]);
    m_eof = m_bof = false;
    if (activeFilter().matches(m_buffer)) {
        // While the row goes in, every row reads as stored; once it is in, the
        // new record is current there.
        const int row = m_order.lowerBound(key, id);
        Q_EMIT rowAboutToBeInserted(row);
        m_order.insert(key, id);
        m_cache.invalidate(row, std::numeric_limits<int>::max());
        m_row = row;
        m_currentId = id;
        m_stored = RecordData::fromRecord(m_buffer);
        m_original = m_buffer;
        m_state = State::Browse;
        Q_EMIT rowInserted(row);
        Q_EMIT stateChanged(m_state);
        Q_EMIT currentChanged(row);
    } else {
        // Saved, but the filter does not show it: back to where the insert began.
        setState(State::Browse);
        makeCurrent(m_row);
    }
}

void AddressTable::placeChanged() {
    const int oldRow = m_row;
    const qint64 id = m_currentId;
    setState(State::Browse);
    m_original = m_buffer;
    if (!activeFilter().matches(m_buffer)) {
        // No longer shown: like a delete for the view.
        Q_EMIT rowAboutToBeRemoved(oldRow);
        m_order.removeAt(oldRow);
        m_cache.invalidate(oldRow, std::numeric_limits<int>::max());
        m_row = -1; // no current row until the neighbour is made current
        Q_EMIT rowRemoved(oldRow);
        makeCurrent(m_order.isEmpty() ? -1 : qMin(oldRow, m_order.size() - 1));
        return;
    }
    const QByteArray key = m_store->sortKey(m_buffer[indexDef(m_indexNo).field]);
    if (OrderList::compareKeys(key, m_order.keyAt(oldRow)) == 0) {
        m_cache.set(oldRow, m_stored);
        Q_EMIT rowChanged(oldRow);
        return;
    }
    const int bound = m_order.lowerBound(key, id);
    const int newRow = bound > oldRow ? bound - 1 : bound;
    if (newRow == oldRow) {
        m_order.removeAt(oldRow);
        m_order.insert(key, id);
        m_cache.set(oldRow, m_stored);
        Q_EMIT rowChanged(oldRow);
        return;
    }
    Q_EMIT rowAboutToBeMoved(oldRow, newRow);
    m_order.removeAt(oldRow);
    m_order.insert(key, id);
    m_cache.invalidate(qMin(oldRow, newRow), qMax(oldRow, newRow));
    m_row = newRow;
    Q_EMIT rowMoved(oldRow, newRow);
    Q_EMIT rowChanged(newRow);
    Q_EMIT currentChanged(newRow);
}

void AddressTable::cancel() {
    requireActive();
    if (m_state == State::Insert) {
        setState(State::Browse);
        makeCurrent(m_row);
    } else if (m_state == State::Edit) {
        const bool changed = isModified();
        m_buffer = m_original;
        setState(State::Browse);
        if (changed) {
            Q_EMIT recordDataChanged(-1);
            Q_EMIT rowChanged(m_row);
        }
    }
}

void AddressTable::deleteRecord() {
    requireActive();
    if (m_state == State::Insert) {
        // The record being inserted is not stored yet: dropping it is its deletion.
        cancel();
        return;
    }
    if (m_row < 0)
        fault(QStringLiteral("Kein Datensatz zum Löschen vorhanden"),
              QStringLiteral("there is no record to delete"));
    m_store->deleteRecord(m_currentId); // throws with nothing changed
    setState(State::Browse);
    const int row = m_row;
    Q_EMIT rowAboutToBeRemoved(row);
    m_order.removeAt(row);
    m_cache.invalidate(row, std::numeric_limits<int>::max());
    m_row = -1; // no current row until the neighbour is made current
    Q_EMIT rowRemoved(row);
    m_eof = m_bof = m_order.isEmpty();
    makeCurrent(m_order.isEmpty() ? -1 : qMin(row, m_order.size() - 1));
}

void AddressTable::replaceOrder(OrderList&& order, int indexNo) {
    // The current record stays current when the new order still shows it; it
    // is found there by its key under the new index.
    const qint64 keepId = m_row >= 0 ? m_currentId : -1;
    const QByteArray keepKey =
        keepId >= 0 ? m_store->sortKey(current(indexDef(indexNo).field)) : QByteArray();
    m_cache.clear();
    Q_EMIT orderAboutToBeReset();
    m_indexNo = indexNo;
    m_order = std::move(order);
    Q_EMIT orderReset();
    int row = -1;
    if (keepId >= 0) {
        row = m_order.find(keepKey, keepId);
        if (row < 0)
            row = m_order.findId(keepId); // its stored value changed meanwhile
    }
    if (row < 0 && !m_order.isEmpty())
        row = 0;
    m_eof = m_bof = m_order.isEmpty();
    makeCurrent(row);
}

void AddressTable::refresh() {
    requireActive();
    checkBrowseMode();
    OrderList order;
    m_store->loadOrder(m_indexNo, activeFilter(), order);
    m_store->countRecords();
    replaceOrder(std::move(order), m_indexNo);
}

void AddressTable::updateEach(const std::function<void(Record&)>& change,
                              const std::function<void(qsizetype done)>& progress) {
    requireActive();
    checkBrowseMode();
    std::vector<qint64> ids;
    ids.reserve(static_cast<size_t>(m_order.size()));
    for (int row = 0; row < m_order.size(); ++row)
        ids.push_back(m_order.idAt(row));
    try {
        m_store->updateEach(ids, change, progress);
    } catch (...) {
        // Show what the file now holds, then report the failure.
        try {
            refresh();
        } catch (const std::exception&) {
        }
        throw;
    }
    refresh();
}

void AddressTable::appendRecords(std::span<const Record> records) {
    requireActive();
    checkBrowseMode();
    if (records.empty())
        return;
    std::vector<qint64> ids;
    m_store->insertRecords(records, &ids); // throws with nothing stored
    // The filter and the order see the values as stored.
    const int field = indexDef(m_indexNo).field;
    const FilterExpression& filter = activeFilter();
    std::vector<std::pair<QByteArray, qint64>> added;
    for (size_t i = 0; i < records.size(); ++i) {
        if (!filter.isEmpty() &&
            fitToField(filter.field(), records[i][filter.field()]) != filter.value())
            continue;
        added.emplace_back(m_store->sortKey(fitToField(field, records[i][field])), ids[i]);
    }
    if (added.empty())
        return;
    const auto lastShown = added.back();
    std::sort(added.begin(), added.end(), [](const auto& a, const auto& b) {
        const int c = OrderList::compareKeys(a.first, b.first);
        return c != 0 ? c < 0 : a.second < b.second;
    });
    // One merge instead of a shifting insert per record.
    OrderList merged;
    qsizetype keyBytes = 0;
    for (int r = 0; r < m_order.size(); ++r)
        keyBytes += m_order.keyAt(r).size();
    for (const auto& a : added)
        keyBytes += a.first.size();
    merged.reserve(m_order.size() + static_cast<int>(added.size()), keyBytes);
    int row = 0;
    for (const auto& [key, id] : added) {
        while (row < m_order.size()) {
            const int c = OrderList::compareKeys(m_order.keyAt(row), key);
            if (c > 0 || (c == 0 && m_order.idAt(row) > id))
                break;
            merged.append(m_order.keyAt(row), m_order.idAt(row));
            ++row;
        }
        merged.append(key, id);
    }
    for (; row < m_order.size(); ++row)
        merged.append(m_order.keyAt(row), m_order.idAt(row));

    // The current record stays; with none, the last one stored becomes current,
    // as after a post. Its row is set before the views re-read, since the
    // current row reads from the record buffer.
    const bool hadCurrent = m_row >= 0;
    const int current = hadCurrent ? merged.find(m_order.keyAt(m_row), m_currentId)
                                   : merged.find(lastShown.first, lastShown.second);
    m_cache.clear();
    Q_EMIT orderAboutToBeReset();
    m_order = std::move(merged);
    m_row = hadCurrent ? current : -1;
    m_eof = m_bof = false;
    Q_EMIT orderReset();
    if (hadCurrent)
        Q_EMIT currentChanged(current);
    else
        makeCurrent(current);
}

bool AddressTable::locate(const QString& fieldName, const QString& text, LocateOptions options) {
    requireActive();
    const int pos = namedField(fieldName);
    checkBrowseMode();
    if (m_order.isEmpty())
        return false;
    const int activeField = indexDef(m_indexNo).field;
    int row = -1;
    const int index = indexOfField(pos);
    if (!options && index >= 0) {
        // Exact match on an indexed field: candidates by sort key, then compared exactly.
        const auto candidates = m_store->recordsWithKey(index, m_store->sortKey(text));
        for (const auto& [id, rec] : candidates) {
            if (rec[pos] != text)
                continue;
            const int r = m_order.find(m_store->sortKey(rec[activeField]), id);
            if (r >= 0 && (row < 0 || r < row))
                row = r;
        }
    } else {
        const Qt::CaseSensitivity cs =
            options.testFlag(CaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
        const bool partial = options.testFlag(Partial);
        const auto found =
            m_store->findFirstInOrder(m_indexNo, activeFilter(), pos, [&](const QString& v) {
                return partial ? v.startsWith(text, cs) : v.compare(text, cs) == 0;
            });
        if (found)
            row = m_order.find(found->first, found->second);
    }
    if (row < 0)
        return false;
    goTo(row);
    return true;
}

void AddressTable::setNumberKeys(std::shared_ptr<const NumberKeys> keys) {
    m_store->setNumberKeys(std::move(keys));
}

QString AddressTable::numberIndexError() const {
    return m_store->numberIndexError();
}

bool AddressTable::locateNumber(const QString& number) {
    requireActive();
    checkBrowseMode();
    if (m_order.isEmpty())
        return false;
    const int activeField = indexDef(m_indexNo).field;
    int bestRank = std::numeric_limits<int>::max();
    int row = -1;
    // Best rank first; within a rank the first record in the current order.
    for (const auto& match : m_store->numberMatches(number)) {
        if (match.rank > bestRank)
            break;
        const int r = m_order.find(m_store->sortKey(match.record[activeField]), match.id);
        if (r >= 0 && (row < 0 || r < row)) {
            row = r;
            bestRank = match.rank;
        }
    }
    if (row < 0)
        return false;
    goTo(row);
    return true;
}

void AddressTable::setFilter(const QString& expression) {
    FilterExpression parsed = FilterExpression::parse(expression); // throws, old filter stays
    if (isActive() && m_filtered) {
        checkBrowseMode();
        OrderList order;
        m_store->loadOrder(m_indexNo, parsed, order);
        m_filterText = expression;
        m_filter = std::move(parsed);
        replaceOrder(std::move(order), m_indexNo);
    } else {
        m_filterText = expression;
        m_filter = std::move(parsed);
    }
}

void AddressTable::setFiltered(bool on) {
    if (on == m_filtered)
        return;
    if (isActive()) {
        checkBrowseMode();
        OrderList order;
        m_store->loadOrder(m_indexNo, on ? m_filter : noFilter(), order);
        m_filtered = on;
        replaceOrder(std::move(order), m_indexNo);
    } else {
        m_filtered = on;
    }
}

void AddressTable::setIndexName(const QString& name) {
    const int k = indexNumber(name);
    if (k < 0)
        fault(QStringLiteral("Index \"%1\" nicht gefunden").arg(name),
              QStringLiteral("index \"%1\" not found").arg(name));
    if (!isActive()) {
        m_indexNo = k;
        return;
    }
    checkBrowseMode();
    if (k == m_indexNo)
        return;
    OrderList order;
    m_store->loadOrder(k, activeFilter(), order);
    replaceOrder(std::move(order), k);
}

QString AddressTable::indexName() const {
    return kalvendo::indexName(m_indexNo);
}

QString AddressTable::value(int row, int fieldPos) const {
    if (!isActive() || row < 0 || row >= m_order.size() || fieldPos < 0 || fieldPos >= kFieldCount)
        return QString();
    // The current row shows its edit buffer; a record being inserted has no row yet.
    if (row == m_row && m_state != State::Insert)
        return current(fieldPos);
    try {
        return recordAt(row).field(fieldPos);
    } catch (const EDatabaseError&) {
        // Painting must not throw; the next navigation reports the fault.
        return QString();
    }
}

} // namespace kalvendo
