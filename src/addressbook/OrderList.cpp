#include "addressbook/OrderList.h"

#include <cstring>

namespace kalvendo {

void OrderList::clear() {
    m_rows.clear();
    m_keys.clear();
    m_liveBytes = 0;
}

void OrderList::reserve(int rows, qsizetype keyBytes) {
    m_rows.reserve(static_cast<size_t>(rows));
    m_keys.reserve(keyBytes);
}

void OrderList::append(QByteArrayView key, qint64 id) {
    m_rows.push_back(
        {static_cast<std::uint32_t>(m_keys.size()), static_cast<std::uint32_t>(key.size()), id});
    m_keys.append(key.data(), key.size());
    m_liveBytes += key.size();
}

QByteArrayView OrderList::keyAt(int row) const {
    const Row& r = m_rows[static_cast<size_t>(row)];
    return QByteArrayView(m_keys.constData() + r.offset, r.length);
}

int OrderList::compareKeys(QByteArrayView a, QByteArrayView b) {
    const qsizetype n = qMin(a.size(), b.size());
    const int c = n ? std::memcmp(a.data(), b.data(), static_cast<size_t>(n)) : 0;
    if (c != 0)
        return c < 0 ? -1 : 1;
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

int OrderList::compareRow(const Row& r, QByteArrayView key, qint64 id) const {
    const int c = compareKeys(QByteArrayView(m_keys.constData() + r.offset, r.length), key);
    if (c != 0)
        return c;
    if (r.id == id)
        return 0;
    return r.id < id ? -1 : 1;
}

int OrderList::lowerBound(QByteArrayView key, qint64 id) const {
    size_t lo = 0;
    size_t hi = m_rows.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (compareRow(m_rows[mid], key, id) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return static_cast<int>(lo);
}

int OrderList::find(QByteArrayView key, qint64 id) const {
    const int row = lowerBound(key, id);
    if (row < size() && compareRow(m_rows[static_cast<size_t>(row)], key, id) == 0)
        return row;
    return -1;
}

int OrderList::findId(qint64 id) const {
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].id == id)
            return static_cast<int>(i);
    }
    return -1;
}

int OrderList::insert(QByteArrayView key, qint64 id) {
    const int row = lowerBound(key, id);
    const Row r{static_cast<std::uint32_t>(m_keys.size()), static_cast<std::uint32_t>(key.size()),
                id};
    m_keys.append(key.data(), key.size());
    m_liveBytes += key.size();
    m_rows.insert(m_rows.begin() + row, r);
    return row;
}

void OrderList::removeAt(int row) {
    m_liveBytes -= m_rows[static_cast<size_t>(row)].length;
    m_rows.erase(m_rows.begin() + row);
    compactIfWasteful();
}

void OrderList::compactIfWasteful() {
    // Keys of removed or moved rows stay behind in the buffer; reclaim them once
    // they are the larger part.
    if (m_keys.size() < 4096 || m_liveBytes * 2 > m_keys.size())
        return;
    QByteArray keys;
    keys.reserve(m_liveBytes);
    for (Row& r : m_rows) {
        const auto offset = static_cast<std::uint32_t>(keys.size());
        keys.append(m_keys.constData() + r.offset, r.length);
        r.offset = offset;
    }
    m_keys = std::move(keys);
}

} // namespace kalvendo
