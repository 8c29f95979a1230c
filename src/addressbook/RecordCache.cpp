#include "addressbook/RecordCache.h"

namespace kalvendo {

const Record* RecordCache::find(qint64 id) const {
    const auto it = m_records.constFind(id);
    return it == m_records.cend() ? nullptr : &it.value();
}

void RecordCache::put(qint64 id, const Record& record) {
    if (!m_records.contains(id))
        makeRoom(1);
    m_records.insert(id, record);
}

void RecordCache::makeRoom(int n) {
    if (m_records.size() + n > m_capacity)
        m_records.clear();
}

} // namespace kalvendo
