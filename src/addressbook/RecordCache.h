#pragma once

#include "addressbook/Fields.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

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

// Records of the current order by row, in aligned blocks of kRecordBlock rows,
// each fetched with one query: a grid or a walk costs one query per block
// rather than one per cell or per step. Small and bounded: when full it starts
// over (a grid's viewport is refetched in a block or two). Rows that shift
// after an insert, delete or move are dropped by the cursor.
class RecordCache {
public:
    explicit RecordCache(int maxBlocks = 64) : m_maxBlocks(maxBlocks) {}

    // The record of the row, or nullptr when its block is not cached. Valid
    // until the next change of the cache.
    const RecordData* find(int row) const;
    // Stores the block that starts at row start (a multiple of kRecordBlock).
    void putBlock(int start, std::vector<RecordData> records);
    // Replaces the record of a cached row (its values changed, its row did not).
    void set(int row, const RecordData& record);
    // Drops the blocks holding rows first..last (inclusive).
    void invalidate(int first, int last);
    void clear();

private:
    QHash<int, std::vector<RecordData>> m_blocks; // by block number
    int m_maxBlocks;
    mutable int m_lastBlock = -1; // the block of the last find, for walks
    mutable const std::vector<RecordData>* m_last = nullptr;
};

} // namespace kalvendo
