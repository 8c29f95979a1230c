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

const RecordData* RecordCache::find(int row) const {
    if (row < 0)
        return nullptr;
    const int block = row / kRecordBlock;
    if (block != m_lastBlock) {
        const auto it = m_blocks.constFind(block);
        if (it == m_blocks.cend())
            return nullptr;
        m_lastBlock = block;
        m_last = &it.value();
    }
    const size_t offset = static_cast<size_t>(row % kRecordBlock);
    return offset < m_last->size() ? &(*m_last)[offset] : nullptr;
}

void RecordCache::putBlock(int start, std::vector<RecordData> records) {
    if (m_blocks.size() >= m_maxBlocks)
        clear();
    m_lastBlock = -1;
    m_blocks.insert(start / kRecordBlock, std::move(records));
}

void RecordCache::set(int row, const RecordData& record) {
    const auto it = m_blocks.find(row / kRecordBlock);
    const size_t offset = static_cast<size_t>(row % kRecordBlock);
    if (it != m_blocks.end() && offset < it->size())
        (*it)[offset] = record;
}

void RecordCache::invalidate(int first, int last) {
    m_lastBlock = -1;
    const int from = first / kRecordBlock;
    const int to = last / kRecordBlock;
    for (auto it = m_blocks.begin(); it != m_blocks.end();) {
        if (it.key() >= from && it.key() <= to)
            it = m_blocks.erase(it);
        else
            ++it;
    }
}

void RecordCache::clear() {
    m_blocks.clear();
    m_lastBlock = -1;
}

} // namespace kalvendo
