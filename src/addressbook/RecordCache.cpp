#include "addressbook/RecordCache.h"

namespace kalvendo {

RecordData RecordData::fromRecord(const Record& r) {
    RecordData d;
    for (const QString& v : r)
        d.appendField(v.toUtf8());
    return d;
}

void RecordData::appendField(QByteArrayView utf8) {
    if (m_fields >= kFieldCount)
        return;
    m_bytes.append(utf8.data(), utf8.size());
    m_ends[static_cast<size_t>(++m_fields)] = static_cast<std::uint32_t>(m_bytes.size());
}

QString RecordData::field(int pos) const {
    if (pos < 0 || pos >= m_fields)
        return QString();
    const auto begin = m_ends[static_cast<size_t>(pos)];
    const auto end = m_ends[static_cast<size_t>(pos) + 1];
    return QString::fromUtf8(m_bytes.constData() + begin, end - begin);
}

Record RecordData::toRecord() const {
    Record r;
    for (int i = 0; i < kFieldCount; ++i)
        r[i] = field(i);
    return r;
}

const RecordData* RecordCache::find(qint64 id) const {
    const auto it = m_records.constFind(id);
    return it == m_records.cend() ? nullptr : &it.value();
}

void RecordCache::put(qint64 id, const RecordData& record) {
    if (!m_records.contains(id))
        makeRoom(1);
    m_records.insert(id, record);
}

void RecordCache::makeRoom(int n) {
    if (m_records.size() + n > m_capacity) {
        m_records.clear();
        m_records.reserve(m_capacity);
    }
}

} // namespace kalvendo
