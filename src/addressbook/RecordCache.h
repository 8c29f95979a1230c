#pragma once

#include "addressbook/Fields.h"

#include <QHash>

namespace kalvendo {

// Records by id, filled in blocks by the cursor so that a grid or a walk costs
// one query per block of rows rather than one per cell or per step. Bounded:
// when full, it starts over (a grid's viewport is refetched in a few blocks).
class RecordCache {
public:
    explicit RecordCache(int capacity = 4096) : m_capacity(capacity) {}

    const Record* find(qint64 id) const;
    void put(qint64 id, const Record& record);
    void remove(qint64 id) { m_records.remove(id); }
    void clear() { m_records.clear(); }
    // Room for n more records; empties the cache when there is none.
    void makeRoom(int n);
    int size() const { return static_cast<int>(m_records.size()); }

private:
    QHash<qint64, Record> m_records;
    int m_capacity;
};

} // namespace kalvendo
