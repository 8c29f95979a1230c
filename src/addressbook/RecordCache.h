#pragma once

#include "addressbook/Fields.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

#include <array>
#include <cstdint>

namespace kalvendo {

// Rows fetched by one query when a record is not cached.
inline constexpr int kRecordBlock = 128;

// One record as stored: the seventeen values as UTF-8 in one buffer, decoded
// a field at a time. A walk or a grid cell then costs one allocation per
// record and one decode per value actually shown.
class RecordData {
public:
    RecordData() = default; // every field empty
    static RecordData fromRecord(const Record& r);

    // Building from a query row: room for all bytes, then each field in order.
    void reserve(qsizetype bytes) { m_bytes.reserve(bytes); }
    void appendField(QByteArrayView utf8);
    QString field(int pos) const;
    Record toRecord() const;

private:
    QByteArray m_bytes;
    std::array<std::uint32_t, kFieldCount + 1> m_ends{}; // m_ends[i]: end of field i - 1
    int m_fields = 0;
};

// Records by id, filled in blocks by the cursor so that a grid or a walk costs
// one query per block of rows rather than one per cell or per step. Bounded:
// when full, it starts over (a grid's viewport is refetched in a few blocks).
class RecordCache {
public:
    explicit RecordCache(int capacity = 8192) : m_capacity(capacity) {
        m_records.reserve(capacity);
    }

    // Valid until the next put(), remove() or clear().
    const RecordData* find(qint64 id) const;
    void put(qint64 id, const RecordData& record);
    void remove(qint64 id) { m_records.remove(id); }
    void clear() { m_records.clear(); }
    // Room for n more records; empties the cache when there is none.
    void makeRoom(int n);
    int size() const { return static_cast<int>(m_records.size()); }

private:
    QHash<qint64, RecordData> m_records;
    int m_capacity;
};

} // namespace kalvendo
