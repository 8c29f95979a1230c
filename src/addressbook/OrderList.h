#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <vector>

namespace kalvendo {

// The rows of the current order: (sort key, record id) pairs sorted by key,
// ties by id. Keys live in one shared buffer so that building 100,000 rows
// costs no allocation per row; a post places its row by binary search.
class OrderList {
public:
    int size() const { return static_cast<int>(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    void clear();
    void reserve(int rows, qsizetype keyBytes);

    // Appends a row; the caller supplies rows in order (as the index yields them).
    void append(QByteArrayView key, qint64 id);

    qint64 idAt(int row) const { return m_rows[static_cast<size_t>(row)].id; }
    QByteArrayView keyAt(int row) const;

    // Row where (key, id) stands or would be inserted.
    int lowerBound(QByteArrayView key, qint64 id) const;
    // Row of exactly (key, id), or -1.
    int find(QByteArrayView key, qint64 id) const;
    // Row of the id by a linear search, for when its key is not known; -1 if absent.
    int findId(qint64 id) const;

    // Inserts (key, id) at its sorted place and returns that row.
    int insert(QByteArrayView key, qint64 id);
    void removeAt(int row);

    // -1, 0 or 1 for a before, equal to or after b: bytewise, shorter first.
    static int compareKeys(QByteArrayView a, QByteArrayView b);

private:
    struct Row {
        std::uint32_t offset;
        std::uint32_t length;
        qint64 id;
    };
    int compareRow(const Row& r, QByteArrayView key, qint64 id) const;
    void compactIfWasteful();

    std::vector<Row> m_rows;
    QByteArray m_keys;
    qsizetype m_liveBytes = 0;
};

} // namespace kalvendo
